#include "CourbeSvg.h"

#include <algorithm>
#include <cstdio>

#include "ChaineMesure.h"
#include "TexteSur.h"

namespace {

std::string Nombre(double x)
{
    char texte[32];
    std::snprintf(texte, sizeof texte, "%.2f", x);
    return texte;
}

}  // namespace

std::string SvgCourbes(const std::vector<TSerieCourbe>& series, double duree)
{
    const double hauteurPanneau = kCourbeHauteur + kCourbeEcart;
    const double hauteur = 20 + hauteurPanneau * static_cast<double>(series.size()) + 10;
    const double largeur = kCourbeDroite - kCourbeGauche;
    const double echelleT = duree > 0 ? largeur / duree : 0.0;

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"plot\" width=\"" + Nombre(kCourbeLargeurTotale)
                      + "\" height=\"" + Nombre(hauteur) + "\" viewBox=\"0 0 " + Nombre(kCourbeLargeurTotale) + " "
                      + Nombre(hauteur) + "\" font-family=\"sans-serif\" font-size=\"12\">\n";
    double haut = 30;
    for (const TSerieCourbe& s : series) {
        const double bas = haut + kCourbeHauteur;
        double mini = 0, maxi = 0;
        bool premier = true;
        for (const auto& p : s.points)
            if (p.valeur) {
                mini = premier ? *p.valeur : std::min(mini, *p.valeur);
                maxi = premier ? *p.valeur : std::max(maxi, *p.valeur);
                premier = false;
            }

        svg += "<g class=\"panel\" id=\"" + EchappeHtml(s.id) + "-panel\">\n";
        svg += "<text x=\"" + Nombre(kCourbeGauche) + "\" y=\"" + Nombre(haut - 8) + "\" font-weight=\"bold\">"
               + EchappeHtml(s.titre) + "</text>\n";
        svg += "<rect x=\"" + Nombre(kCourbeGauche) + "\" y=\"" + Nombre(haut) + "\" width=\"" + Nombre(largeur)
               + "\" height=\"" + Nombre(kCourbeHauteur) + "\" fill=\"none\" stroke=\"#999\"/>\n";
        if (!premier) {
            svg += "<text class=\"max\" x=\"" + Nombre(kCourbeGauche - 6) + "\" y=\"" + Nombre(haut + 10)
                   + "\" text-anchor=\"end\">" + ChaineMesure(maxi, s.decimales) + "</text>\n";
            svg += "<text class=\"min\" x=\"" + Nombre(kCourbeGauche - 6) + "\" y=\"" + Nombre(bas)
                   + "\" text-anchor=\"end\">" + ChaineMesure(mini, s.decimales) + "</text>\n";
        }
        std::string points;
        for (const auto& p : s.points) {
            if (!p.valeur)
                continue;
            const double x = kCourbeGauche + p.t * echelleT;
            const double y =
                maxi > mini ? haut + (maxi - *p.valeur) / (maxi - mini) * kCourbeHauteur : haut + kCourbeHauteur / 2;
            if (!points.empty())
                points += ' ';
            points += Nombre(x) + "," + Nombre(y);
        }
        svg += "<polyline id=\"" + EchappeHtml(s.id)
               + "\" fill=\"none\" stroke=\"#1f5fbf\" stroke-width=\"1.5\" points=\"" + points + "\"/>\n";
        svg += "<text x=\"" + Nombre(kCourbeGauche) + "\" y=\"" + Nombre(bas + 16) + "\">0 s</text>\n";
        svg += "<text x=\"" + Nombre(kCourbeDroite) + "\" y=\"" + Nombre(bas + 16) + "\" text-anchor=\"end\">"
               + ChaineMesure(duree, 1) + " s</text>\n";
        svg += "</g>\n";
        haut += hauteurPanneau;
    }
    return svg + "</svg>\n";
}
