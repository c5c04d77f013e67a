// Texts that come from outside (the sensor's serial number, the operator's note, file names)
// made safe for where they go: UTF-8 for JSON and HTML, escaped markup, no terminal controls.
#pragma once

#include <string>
#include <string_view>

// 8-bit character codes (Latin-1) as UTF-8.
std::string Latin1VersUtf8(std::string_view texte);

// Valid UTF-8 as it stands; every byte that is not part of a valid sequence becomes U+FFFD.
std::string Utf8Valide(std::string_view texte);

// Text for HTML and XML content and attribute values: & < > " ' as entities, and the control
// characters XML cannot carry as U+FFFD. The text must be valid UTF-8.
std::string EchappeHtml(std::string_view texte);

// Text for a terminal: control characters shown as \xNN (C0, DEL) or \uNNNN (C1), so that no
// escape sequence from the sensor reaches the terminal. The text must be valid UTF-8.
std::string TexteAffichable(std::string_view texte);
