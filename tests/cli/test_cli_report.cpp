// report: the HTML record parsed as XML (it is well-formed XHTML) and with libxml2's HTML
// parser, its values against the sensor's, its escaping, its SVG plot, and the JSON record.
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <fstream>
#include <memory>
#include <regex>
#include <sstream>

#include "BancCli.h"
#include "CourbeSvg.h"
#include "StatsLigne.h"

using namespace clitest;

namespace {

std::string Contenu(const std::string& chemin)
{
    std::ifstream f(chemin, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A parsed document and XPath queries on it (XHTML and SVG namespaces as "h" and "s").
class TDocument {
public:
    static TDocument Xml(const std::string& texte)
    {
        return TDocument(xmlReadMemory(texte.data(), static_cast<int>(texte.size()), "record.html", "UTF-8",
                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    }
    static TDocument Html(const std::string& texte)
    {
        return TDocument(htmlReadMemory(texte.data(), static_cast<int>(texte.size()), "record.html", "UTF-8",
                                        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING));
    }
    bool Valide() const { return doc_ != nullptr; }

    std::vector<std::string> Textes(const std::string& xpath) const
    {
        std::vector<std::string> textes;
        if (!doc_)
            return textes;
        std::unique_ptr<xmlXPathContext, decltype(&xmlXPathFreeContext)> ctx(xmlXPathNewContext(doc_.get()),
                                                                             xmlXPathFreeContext);
        xmlXPathRegisterNs(ctx.get(), BAD_CAST "h", BAD_CAST "http://www.w3.org/1999/xhtml");
        xmlXPathRegisterNs(ctx.get(), BAD_CAST "s", BAD_CAST "http://www.w3.org/2000/svg");
        std::unique_ptr<xmlXPathObject, decltype(&xmlXPathFreeObject)> res(
            xmlXPathEvalExpression(BAD_CAST xpath.c_str(), ctx.get()), xmlXPathFreeObject);
        if (!res || !res->nodesetval)
            return textes;
        for (int i = 0; i < res->nodesetval->nodeNr; ++i) {
            xmlChar* t = xmlNodeGetContent(res->nodesetval->nodeTab[i]);
            textes.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
            xmlFree(t);
        }
        return textes;
    }
    std::string Texte(const std::string& xpath) const
    {
        const auto t = Textes(xpath);
        return t.size() == 1 ? t[0] : "<" + std::to_string(t.size()) + " nodes>";
    }

private:
    explicit TDocument(xmlDoc* doc) : doc_(doc, xmlFreeDoc) {}
    std::shared_ptr<xmlDoc> doc_;
};

std::vector<std::pair<double, double>> Points(const std::string& attribut)
{
    std::vector<std::pair<double, double>> points;
    std::stringstream s(attribut);
    std::string paire;
    while (s >> paire) {
        const auto virgule = paire.find(',');
        points.emplace_back(std::stod(paire.substr(0, virgule)), std::stod(paire.substr(virgule + 1)));
    }
    return points;
}

class CliReport : public TBancCli {
protected:
    std::string Fichier(const char* extension) const
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        return ::testing::TempDir() + "vantor-cli-" + info->name() + "-" + std::to_string(::getpid()) + extension;
    }
};

TEST_F(CliReport, HtmlRecordHoldsTheSensorsValuesEscapedAndAPlot)
{
    auto& s = bus.AddSensor(4);
    s.SetSerial("<a&b\"'>z");
    s.SetFirmware(3, 7);
    s.ForceTemperature(23.25F);
    s.SetSelfTestTime(std::chrono::milliseconds(300));
    const std::string note = "batch 7 <script>alert(1)</script> & \"caf\xC3\xA9\"";
    const std::string html = Fichier(".html");
    const TResultat r = Cli("report", {"--id", "4", "--out", html, "--seconds", "1.5", "--note", note});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(r.sortie, "record written to " + html + ": pass\n");

    const std::string texte = Contenu(html);
    const TDocument doc = TDocument::Xml(texte);
    ASSERT_TRUE(doc.Valide()) << "not well-formed";
    EXPECT_EQ(doc.Texte("//h:td[@id='serial']"), "<a&b\"'>z");
    EXPECT_EQ(doc.Texte("//h:td[@id='note']"), note);
    EXPECT_TRUE(doc.Textes("//h:script").empty());
    EXPECT_EQ(texte.find("<script>"), std::string::npos);
    EXPECT_EQ(doc.Texte("//h:td[@id='firmware']"), "3.7");
    EXPECT_EQ(doc.Texte("//h:td[@id='filter']"), "5.0 Hz");
    EXPECT_EQ(doc.Texte("//h:td[@id='fifo']"), "5.000 Hz");
    EXPECT_EQ(doc.Texte("//h:td[@id='sensor-baud']"), "19200");
    EXPECT_EQ(doc.Texte("//h:td[@id='address']"), "4");
    EXPECT_EQ(doc.Texte("//h:td[@id='port']"), bus.DevicePath());
    EXPECT_EQ(doc.Texte("//h:td[@id='baud']"), "19200");
    EXPECT_EQ(doc.Texte("//h:td[@id='parity']"), "none");
    EXPECT_EQ(doc.Texte("//h:td[@id='id']"), "4");
    EXPECT_EQ(doc.Texte("//h:span[@id='verdict']"), "pass");
    EXPECT_EQ(doc.Texte("//h:span[@id='status-word']"), "0x0000");
    EXPECT_EQ(doc.Texte("//h:span[@id='selftest']"), "pass");
    EXPECT_EQ(doc.Textes("//h:table[@id='status']/h:tr[h:td]").size(), 16u);
    EXPECT_EQ(doc.Textes("//h:table[@id='monitoring']/h:tr").size(), 7u);
    EXPECT_TRUE(std::regex_match(doc.Texte("//h:td[@id='monitoring-Vin']"), std::regex(R"(\d+\.\d\d)")));
    EXPECT_TRUE(
        std::regex_match(doc.Texte("//h:td[@id='date']"), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));

    // The plot: one point per sample, inside its panel; the pinned temperature is a flat line.
    const int echantillons = std::stoi(doc.Texte("//h:span[@id='samples']"));
    EXPECT_GE(echantillons, 5);
    const auto acceleration = Points(doc.Texte("//s:polyline[@id='acceleration']/@points"));
    const auto temperature = Points(doc.Texte("//s:polyline[@id='temperature']/@points"));
    ASSERT_EQ(acceleration.size(), static_cast<std::size_t>(echantillons));
    ASSERT_EQ(temperature.size(), static_cast<std::size_t>(echantillons));
    for (std::size_t i = 1; i < acceleration.size(); ++i)
        EXPECT_GT(acceleration[i].first, acceleration[i - 1].first);
    for (const auto& [x, y] : acceleration) {
        EXPECT_GE(x, kCourbeGauche);
        EXPECT_LE(x, kCourbeDroite + 0.01);
        EXPECT_GE(y, 30.0 - 0.01);
        EXPECT_LE(y, 30.0 + kCourbeHauteur + 0.01);
    }
    for (const auto& p : temperature)
        EXPECT_EQ(p.second, temperature[0].second);
    EXPECT_EQ(doc.Textes("//s:g[@id='temperature-panel']/s:text[@class='max']"), std::vector<std::string>{"23.3"});
    const double aMax = std::stod(doc.Texte("//s:g[@id='acceleration-panel']/s:text[@class='max']"));
    const double aMin = std::stod(doc.Texte("//s:g[@id='acceleration-panel']/s:text[@class='min']"));
    EXPECT_GT(aMax, aMin);
    EXPECT_GT(aMin, 0.5);
    EXPECT_LT(aMax, 1.5);

    // Browsers' HTML parsing finds the same.
    const TDocument html5 = TDocument::Html(texte);
    ASSERT_TRUE(html5.Valide());
    EXPECT_EQ(html5.Texte("//td[@id='serial']"), "<a&b\"'>z");
    EXPECT_EQ(html5.Texte("//td[@id='note']"), note);
    std::remove(html.c_str());
}

TEST_F(CliReport, JsonRecordIsTheSameRecord)
{
    auto& s = bus.AddSensor(1);
    s.ForceTemperature(30.5F);
    s.SetSelfTestTime(std::chrono::milliseconds(200));
    const std::string chemin = Fichier(".json");
    const TResultat r = Cli("report", {"--id", "1", "--out", chemin, "--seconds", "1", "--json", "--note", "n\xFFx"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_EQ(Json(r)["pass"], true);
    const TJson j = TJson::parse(Contenu(chemin));
    EXPECT_EQ(j["identity"]["serial"], "AB123456");
    EXPECT_EQ(j["identity"]["firmware"], "1.10");
    EXPECT_EQ(j["note"], "n\xEF\xBF\xBDx");  // a byte that is no UTF-8 becomes U+FFFD
    EXPECT_EQ(j["configuration"]["address"], 1);
    EXPECT_EQ(j["monitoring"]["status"]["pass"], true);
    EXPECT_EQ(j["self_test"]["pass"], true);
    EXPECT_EQ(j["verdict"]["pass"], true);
    EXPECT_EQ(j["line"]["id"], 1);
    const auto& samples = j["recording"]["samples"];
    ASSERT_GE(samples.size(), 4u);
    for (const auto& e : samples)
        EXPECT_EQ(e["temperature_c"], 30.5);
    EXPECT_LE(samples.back()["t"].get<double>(), 1.0);
    std::remove(chemin.c_str());
}

TEST_F(CliReport, FailingSensorGetsItsRecordAndStatusOne)
{
    auto& s = bus.AddSensor(1);
    s.ForceMonitor(vantor::sim::Monit::Vdd, 5);  // far below its range
    s.SetSelfTestTime(std::chrono::milliseconds(100));
    const std::string chemin = Fichier(".html");
    const TResultat r = Cli("report", {"--id", "1", "--out", chemin, "--seconds", "0.5"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("sensor failed: status bits set (LED 14 V+)"), std::string::npos) << r.erreurs;
    const TDocument doc = TDocument::Xml(Contenu(chemin));
    ASSERT_TRUE(doc.Valide());
    EXPECT_EQ(doc.Texte("//h:span[@id='verdict']"), "fail");
    EXPECT_EQ(doc.Texte("//h:span[@id='status-verdict']"), "fail");
    EXPECT_EQ(doc.Texte("//h:span[@id='selftest']"), "pass");
    std::remove(chemin.c_str());
}

// A sensor that does not answer at all still gets its record, which says what failed.
TEST_F(CliReport, NoSensorGetsARecordOfWhatFailed)
{
    const std::string chemin = Fichier(".html");
    const TResultat r = Cli("report", {"--id", "1", "--out", chemin, "--seconds", "0.5"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_EQ(r.sortie, "record written to " + chemin + ": fail\n");
    EXPECT_EQ(r.erreurs, "vantor-cli: reading the identity: No detected sensor\n");
    const TDocument doc = TDocument::Xml(Contenu(chemin));
    ASSERT_TRUE(doc.Valide());
    EXPECT_EQ(doc.Texte("//h:span[@id='verdict']"), "fail");
    EXPECT_EQ(doc.Texte("//h:span[@id='failure-operation']"), "reading the identity");
    EXPECT_EQ(doc.Texte("//h:span[@id='failure-message']"), "No detected sensor");
    EXPECT_EQ(doc.Texte("//h:td[@id='identity-missing']"), "not read");
    EXPECT_EQ(doc.Texte("//h:td[@id='id']"), "1");
    // The line section counts the one transaction that got no answer.
    EXPECT_EQ(doc.Texte("//h:td[@id='line-transactions']"), "1");
    EXPECT_EQ(doc.Texte("//h:td[@id='line-no_answer']"), "1");
    std::remove(chemin.c_str());
}

// Exception 4 on the monitoring read, after identity and configuration were read: the record
// has what was read and names the failed read with the driver's message.
TEST_F(CliReport, ReadFailingMidwayGetsARecord)
{
    bus.AddSensor(1).SetFaults({.exceptionCode = 4, .exceptionRegister = 4});
    const std::string chemin = Fichier(".json");
    const TResultat r = Cli("report", {"--id", "1", "--out", chemin, "--seconds", "0.5", "--json"});
    EXPECT_EQ(r.statut, 1);
    const TJson j = TJson::parse(Contenu(chemin));
    EXPECT_EQ(j["verdict"]["pass"], false);
    EXPECT_EQ(j["failure"]["operation"], "reading the monitoring values");
    EXPECT_EQ(j["failure"]["code"], -23);
    EXPECT_EQ(j["identity"]["serial"], "AB123456");
    EXPECT_EQ(j["configuration"]["address"], 1);
    EXPECT_TRUE(j["monitoring"].is_null());
    EXPECT_TRUE(j["recording"].is_null());
    EXPECT_EQ(j["line_health"]["failures"]["exception"], 1);
    const std::string message = j["failure"]["message"].get<std::string>();
    EXPECT_FALSE(message.empty());
    EXPECT_NE(r.erreurs.find("reading the monitoring values: " + message), std::string::npos) << r.erreurs;
    // No self test was started on a failing sensor.
    EXPECT_EQ(bus.SensorAt(1)->SelfTestCount(), 0);
    std::remove(chemin.c_str());
}

}  // namespace

namespace {

TEST_F(CliReport, RecordingProgressOnATerminal)
{
    bus.AddSensor(1).SetSelfTestTime(std::chrono::milliseconds(50));
    const std::string chemin = Fichier(".html");
    TLancement l;
    l.arguments = {"report", "--port", bus.DevicePath(), "--id", "1", "--out", chemin, "--seconds", "1.2"};
    l.erreursSurTerminal = true;
    const TResultat r = TProgrammeCli::Lance(l);
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    EXPECT_NE(r.erreurs.find("report: recording 1 of 1 s ("), std::string::npos) << r.erreurs;
    EXPECT_NE(r.erreurs.find("report: self test (90 %)"), std::string::npos) << r.erreurs;
    std::remove(chemin.c_str());
}

}  // namespace

namespace {

TEST(CliLigne, ResponseTimeDistribution)
{
    std::vector<double> v;
    for (int i = 20; i >= 1; --i)
        v.push_back(i);
    TRepartition r = Repartition(v);
    EXPECT_EQ(r.min, 1.0);
    EXPECT_EQ(r.mediane, 10.5);
    EXPECT_EQ(r.p95, 19.0);  // nearest rank: the 19th of 20
    EXPECT_EQ(r.max, 20.0);
    r = Repartition({7.0, 3.0, 5.0});
    EXPECT_EQ(r.mediane, 5.0);
    EXPECT_EQ(r.p95, 7.0);
    r = Repartition({});
    EXPECT_EQ(r.max, 0.0);
    EXPECT_EQ(TypeEchec(kResNoAnswer), TTypeEchec::SansReponse);
    EXPECT_EQ(TypeEchec(kResCrcError), TTypeEchec::Crc);
    EXPECT_EQ(TypeEchec(kResFrameError), TTypeEchec::Trame);
    EXPECT_EQ(TypeEchec(kResExcDevice), TTypeEchec::Exception);
    EXPECT_EQ(TypeEchec(kResExcFunction), TTypeEchec::Exception);
}

// The record's Line section counts every transaction the line carried, failures by kind, and
// response times that the sensor's answer delay bounds from below; the statistics are those of
// the recorded samples. Every acceleration read gets exception 4. The delay stays well inside the
// driver's 41 ms silence at 19200 baud, so that a busy machine cannot turn it into no answer.
TEST_F(CliReport, LineSectionAndStatistics)
{
    auto& s = bus.AddSensor(1);
    s.ForceTemperature(23.25F);
    s.SetSelfTestTime(std::chrono::milliseconds(50));
    s.SetFaults({.exceptionCode = 4, .delayMs = 5, .exceptionRegister = 0});
    const std::string chemin = Fichier(".json");
    const TResultat r = Cli("report", {"--id", "1", "--out", chemin, "--seconds", "0.6", "--json"});
    EXPECT_EQ(r.statut, 1);
    EXPECT_NE(r.erreurs.find("no measurement read while recording"), std::string::npos) << r.erreurs;
    const TJson j = TJson::parse(ContenuFichier(chemin));
    const TJson& ligne = j["line_health"];
    const auto& samples = j["recording"]["samples"];
    ASSERT_GE(samples.size(), 2u);
    // Every frame of the line is one transaction of the record (a request that timed out may
    // reach the simulated line's log a little after the program ended).
    const auto transactions = ligne["transactions"].get<std::size_t>();
    EXPECT_TRUE(bus.WaitForFrames(transactions, std::chrono::seconds(2)));
    EXPECT_EQ(transactions, bus.FrameCount());
    EXPECT_EQ(ligne["failures"]["exception"].get<std::size_t>(), samples.size());
    EXPECT_EQ(ligne["failures"]["no_answer"], 0);
    EXPECT_EQ(ligne["response_ms"]["count"], ligne["transactions"]);
    const double min = ligne["response_ms"]["min"].get<double>(), max = ligne["response_ms"]["max"].get<double>();
    EXPECT_GE(min, 5.0);
    EXPECT_LE(min, ligne["response_ms"]["median"].get<double>());
    EXPECT_LE(ligne["response_ms"]["median"].get<double>(), ligne["response_ms"]["p95"].get<double>());
    EXPECT_LE(ligne["response_ms"]["p95"].get<double>(), max);

    const TJson& stats = j["recording"]["statistics"];
    EXPECT_EQ(stats["acceleration_g"]["count"], 0);
    EXPECT_TRUE(stats["acceleration_g"]["mean"].is_null());
    EXPECT_EQ(stats["temperature_c"]["count"].get<std::size_t>(), samples.size());
    EXPECT_EQ(stats["temperature_c"]["mean"], 23.25);
    EXPECT_EQ(stats["temperature_c"]["sd"], 0.0);
    EXPECT_EQ(stats["temperature_c"]["min"], 23.25);
    EXPECT_EQ(stats["temperature_c"]["max"], 23.25);
    EXPECT_EQ(j["verdict"]["recording_pass"], false);
    std::remove(chemin.c_str());
}

// Statistics against the samples of the record, and the Line section of the HTML page.
TEST_F(CliReport, StatisticsOfTheSamplesAndLineTable)
{
    bus.AddSensor(1).SetSelfTestTime(std::chrono::milliseconds(50));
    const TResultat r = Cli("report", {"--id", "1", "--seconds", "0.6", "--json"});
    ASSERT_EQ(r.statut, 0) << r.erreurs;
    // Without --out the JSON record is the whole of standard output.
    const TJson j = TJson::parse(r.sortie);
    const auto& samples = j["recording"]["samples"];
    ASSERT_GE(samples.size(), 3u);
    double somme = 0, min = 1e9, max = -1e9;
    for (const auto& e : samples) {
        const double a = e["acceleration_g"].get<double>();
        somme += a;
        min = std::min(min, a);
        max = std::max(max, a);
    }
    const double moyenne = somme / static_cast<double>(samples.size());
    double carres = 0;
    for (const auto& e : samples)
        carres += (e["acceleration_g"].get<double>() - moyenne) * (e["acceleration_g"].get<double>() - moyenne);
    const TJson& a = j["recording"]["statistics"]["acceleration_g"];
    EXPECT_NEAR(a["mean"].get<double>(), moyenne, 1e-6);
    EXPECT_NEAR(a["sd"].get<double>(), std::sqrt(carres / static_cast<double>(samples.size() - 1)), 1e-6);
    EXPECT_EQ(a["min"].get<double>(), min);
    EXPECT_EQ(a["max"].get<double>(), max);
    EXPECT_EQ(j["line_health"]["failures"]["no_answer"], 0);

    const std::string html = Fichier(".html");
    ASSERT_EQ(Cli("report", {"--id", "1", "--out", html, "--seconds", "0.3"}).statut, 0);
    const TDocument doc = TDocument::Xml(Contenu(html));
    ASSERT_TRUE(doc.Valide());
    const std::size_t avant = j["line_health"]["transactions"].get<std::size_t>();
    const std::size_t transactions = std::stoul(doc.Texte("//h:td[@id='line-transactions']"));
    EXPECT_TRUE(bus.WaitForFrames(avant + transactions, std::chrono::seconds(2)));
    EXPECT_EQ(avant + transactions, bus.FrameCount());
    EXPECT_EQ(doc.Texte("//h:td[@id='line-crc']"), "0");
    EXPECT_TRUE(std::regex_match(doc.Texte("//h:td[@id='line-p95']"), std::regex(R"(\d+\.\d ms)")));
    EXPECT_TRUE(std::regex_match(doc.Texte("//h:td[@id='temperature-sd']"), std::regex(R"(\d+\.\d{3})")));
    std::remove(html.c_str());
}

}  // namespace
