// The plot of a recording as inline SVG: acceleration above, temperature below, each on its
// own scale, over a common time axis.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TPointCourbe {
    double t = 0.0;                // seconds since the start of the recording
    std::optional<double> valeur;  // none: the read failed (the curve passes over it)
};

struct TSerieCourbe {
    std::string id;     // id of the curve's polyline ("acceleration")
    std::string titre;  // "Acceleration (g)"
    int decimales;      // of the scale's texts
    std::vector<TPointCourbe> points;
};

// Geometry of one panel: the plot area in SVG user units.
inline constexpr double kCourbeGauche = 80, kCourbeDroite = 700, kCourbeHauteur = 140, kCourbeEcart = 50;
inline constexpr double kCourbeLargeurTotale = 720;

// Well-formed SVG (an <svg> element with the SVG namespace) for a recording of `duree`
// seconds. Each series gets a panel with its title, its minimum and maximum as texts of
// class "min" and "max", and a polyline with the given id whose y coordinates run from the
// panel's bottom (minimum) to its top (maximum); a constant series lies in the middle.
std::string SvgCourbes(const std::vector<TSerieCourbe>& series, double duree);
