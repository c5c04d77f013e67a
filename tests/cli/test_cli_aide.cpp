// The help texts as the program prints them, to the letter: the general help and that of each
// command, with their generated option lines.
#include <gtest/gtest.h>

#include <string>

#include "OptionsCli.h"
#include "ProgrammeCli.h"

namespace {

// The lines of the options of every command that talks to a sensor.
const std::string kLigne = R"(  --port P            COM1, COM2, ... (as the window names ports), a device
                      path, or a serial server: rfc2217://HOST:PORT,
                      tcp://HOST:PORT; required
  --baud B            2400, 4800, 9600, 19200 (default), 38400 or 57600
  --parity P          even, odd or none (default); even and odd use two
                      stop bits
  --log FILE          one JSON line per transaction on the line into FILE:
                      time, operation, address, register or function,
                      result code, duration
)";

// The lines of the options of every command.
const std::string kToutes = R"(  --json              machine-readable output
  --help              help of the command (also -h)
)";

struct TAideAttendue {
    TCommande commande;
    const char* tete;     // usage and description
    const char* propres;  // the lines of the command's own options
    bool ligne;           // followed by the line options
};

const TAideAttendue kAides[] = {
    {TCommande::Ports,
     R"(Usage: vantor-cli ports [--json]
       vantor-cli ports assign COMn DEVICE|rfc2217://HOST:PORT|tcp://HOST:PORT
       vantor-cli ports unassign COMn
Lists the serial devices of this machine: path, /dev/serial/by-id name, driver, USB
vendor:product and product text, whether you may open it (and how to fix it when
not), whether it is busy, and the COMn names that point at it.

COMn names are the links com1, com2, ... of the folder 'dosdevices' beside the
program (and beside AppVantor, which shares the folder). 'assign' makes COMn a
link to DEVICE, through its stable /dev/serial/by-id name when it has one;
'unassign' removes the link. A serial server's name is written into the link as
it stands, and the list tells whether that server answers.
)",
     "", false},
    {TCommande::Scan,
     R"(Usage: vantor-cli scan --port P [--from 1] [--to 127] [line options]
Tries every address from --from to --to with a read of input register 0,
the port held open, 10 ms apart, and lists the addresses that answer.
Progress goes to standard error on a terminal; Ctrl+C stops the scan
after the address being tried, lists what was found and exits 130.
)",
     R"(  --from A            the first address tried, 1..127 (default 1)
  --to A              the last address tried, 1..127 (default 127)
)",
     true},
    {TCommande::Info,
     R"(Usage: vantor-cli info --port P --id N [line options]
Reads the firmware revision, serial number, filter cut-off, FIFO rate and
the sensor's own baud rate and address.
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
)",
     true},
    {TCommande::Read,
     R"(Usage: vantor-cli read --port P --id N [line options]
Reads acceleration (g), temperature (degrees C), the status word with
each bit named by its LED caption, and the seven monitoring values.
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
)",
     true},
    {TCommande::Watch,
     R"(Usage: vantor-cli watch --port P --id N[,N...] [--every MS] [--count K] [--csv FILE]
Reads the measurements every MS milliseconds (default 1000, at least 10)
from each sensor of --id in turn (--id 1,5,17), the port held open,
until K samples were taken (default: until interrupted with Ctrl+C).
--csv writes every sample with an ISO 8601 UTC time stamp to FILE, one
column group per sensor; the file is complete when the command ends. A
failed read shows 'err' and polling goes on; the exit status is 1 only
when no read of any sensor succeeded.
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
  --every MS          milliseconds between samples, 10..86400000 (default 1000)
  --count K           stop after K samples (default: until interrupted)
  --csv FILE          every sample into FILE as CSV
)",
     true},
    {TCommande::Set,
     R"(Usage: vantor-cli set --port P --id N [--filter HZ] [--fifo HZ]
                     [--sensor-baud 9600|19200|38400] [--address A]
Writes the given settings as the window writes them, then reads every
setting back (at the new address and baud rate) and reports what the
sensor holds. --filter is 0.1..10 Hz; --fifo must be 50/n Hz for a
divider n of 1..256; --address is 1..127. A read-back that differs
from what was written is an error (exit status 1).
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
  --filter HZ         filter cut-off, 0.1..10 Hz
  --fifo HZ           FIFO rate, 50/n Hz for n of 1..256
  --sensor-baud B     the sensor's baud rate: 9600, 19200 or 38400
  --address A         the sensor's new address, 1..127
)",
     true},
    {TCommande::SelfTest,
     R"(Usage: vantor-cli selftest --port P --id N [--timeout MS]
Starts the self test, then reads the status word until its bits 4-7
(the 'sensitive elmnt test' bits of the high byte) clear: pass, or
until MS milliseconds passed (default 5000): fail, exit status 1.
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
  --timeout MS        at most MS milliseconds, 1..3600000
                      (default: selftest 5000, reset 10000)
)",
     true},
    {TCommande::Reset,
     R"(Usage: vantor-cli reset --port P --id N [--wait] [--timeout MS]
Resets the sensor. With --wait, reads it until it answers again and
reports how long that took (at most MS milliseconds, default 10000).
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
  --wait              wait until the sensor answers again
  --timeout MS        at most MS milliseconds, 1..3600000
                      (default: selftest 5000, reset 10000)
)",
     true},
    {TCommande::Report,
     R"(Usage: vantor-cli report --port P --id N --out FILE [--seconds S] [--note TEXT]
       vantor-cli report --port P --id N --json [--out FILE|-] ...
Writes one self-contained commissioning record to FILE: identity,
configuration, monitoring values and status bits with a pass or fail,
the self-test result, date and time, the port settings, the note, and a
plot of acceleration and temperature recorded over S seconds (default
10, at most 3600). With --json the record is written as JSON instead of
HTML (to standard output without --out, or with --out -). The record
also holds the configuration as 'config save' writes it, statistics of
the recording and the line's health (transactions, failures by kind,
response times). A sensor that fails gets its record, saying which
operation failed and why, and exit status 1.
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
  --out FILE          the file written (report --json: - for standard output)
  --seconds S         seconds of recording, 0.1..3600 (default 10)
  --note TEXT         a note written into the record
)",
     true},
    {TCommande::Find,
     R"(Usage: vantor-cli find --port P [--all] [--from 1] [--to 127] [--json]
Finds a sensor whose baud rate, line mode and address are unknown. Tries
the sensor's own baud rates first (19200, its factory rate, then 9600 and
38400), then the driver's others (57600, 4800, 2400), each with the line
modes none, even and odd; at each, reads input register 0 at addresses
--from to --to as scan does, the port held open. Stops at the first sensor found
(--all: tries every setting) and prints the options to reach it.
Exit status 1 when no sensor answered.
)",
     R"(  --from A            the first address tried, 1..127 (default 1)
  --to A              the last address tried, 1..127 (default 127)
  --all               try every setting, not only until the first sensor found
)",
     true},
    {TCommande::Config,
     R"(Usage: vantor-cli config save --port P --id N --out FILE
       vantor-cli config diff FILE --port P --id N
       vantor-cli config apply FILE --port P --id N [--dry-run]
save writes the sensor's filter, FIFO rate, baud rate and address as JSON,
with its firmware revision and serial number for the record. diff lists
the settings of FILE the sensor holds otherwise. apply writes only those
(address and baud rate last, the line following the sensor to them), then
reads every setting back; a setting that differs from FILE is an error
(exit status 1) naming the setting and both values. --dry-run says what
would be written and writes nothing. A setting missing from FILE is left
as it is.
)",
     R"(  --id N              the sensor's address, 1..127 (watch: a list, 1,5,17)
  --out FILE          the file written (report --json: - for standard output)
  --dry-run           say what would be written, write nothing (config apply)
)",
     true},
};

TEST(CliAide, GeneralHelpKnownAnswer)
{
    const std::string attendue = R"(Usage: vantor-cli COMMAND [options]
Commissions Vantor sensors on a MODBUS RTU line through the korvane driver.

Commands:
  ports      list the serial devices; assign or unassign COMn names
  scan       list the addresses at which a sensor answers
  info       firmware, serial number, filter, FIFO rate, baud rate and address
  read       acceleration, temperature, status bits and monitoring values
  watch      poll the measurements until interrupted, optionally into a CSV file
  set        write filter, FIFO rate, baud rate or address, then read them back
  selftest   run the sensor's self test and report pass or fail
  reset      reset the sensor, optionally waiting until it answers again
  report     write a commissioning record (HTML, or JSON with --json)
  find       find a sensor whose baud rate, line mode and address are unknown
  config     save a sensor's settings to a file, compare them, apply a file
)"
                                 "\nOptions of every command that talks to a sensor:\n"
                                 + kLigne + "\nOptions of every command:\n" + kToutes + R"(
Exit status: 0 success, 1 the sensor or the line failed, 2 wrong command line.
'vantor-cli COMMAND --help' describes each command.
)";
    EXPECT_EQ(TexteAide(TCommande::Aucune), attendue);
    const clitest::TResultat r = clitest::TProgrammeCli::Lance({"--help"});
    EXPECT_EQ(r.statut, 0);
    EXPECT_EQ(r.sortie, attendue);
    EXPECT_EQ(r.erreurs, "");
}

TEST(CliAide, HelpOfEachCommandKnownAnswer)
{
    for (const TAideAttendue& a : kAides) {
        const std::string attendue = std::string(a.tete) + "\nOptions:\n" + a.propres + kToutes
                                     + (a.ligne ? "\nLine options:\n" + kLigne : std::string());
        EXPECT_EQ(TexteAide(a.commande), attendue) << NomCommande(a.commande);
        const clitest::TResultat r = clitest::TProgrammeCli::Lance({NomCommande(a.commande), "--help"});
        EXPECT_EQ(r.statut, 0) << NomCommande(a.commande);
        EXPECT_EQ(r.sortie, attendue) << NomCommande(a.commande);
        EXPECT_EQ(r.erreurs, "") << NomCommande(a.commande);
    }
}

}  // namespace
