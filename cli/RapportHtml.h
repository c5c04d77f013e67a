// The commissioning record as one self-contained page: well-formed XHTML (it parses as XML and
// as HTML) with its style and an inline SVG plot, made from the record's JSON document so that
// both forms always hold the same values.
#pragma once

#include <string>

#include "SortieCli.h"

std::string HtmlRapport(const TJson& rapport);
