#include "catalogue/param_catalogue.h"

#include <cstdio>

#include "catalogue/home_folder.h"

namespace ormel {
namespace {

ParamSpec base(const char* name, ParamKind kind, const char* label, const char* group) {
    ParamSpec p;
    p.name = name;
    p.kind = kind;
    p.label = label;
    p.group = group;
    return p;
}

ParamSpec dbl(const char* name, const char* label, const char* group, double def, double lo,
              double hi, double displayLo, double displayHi, double increment) {
    ParamSpec p = base(name, ParamKind::Double, label, group);
    p.defaultValue = def;
    p.minimum = lo;
    p.maximum = hi;
    p.displayMinimum = displayLo;
    p.displayMaximum = displayHi;
    p.increment = increment;
    return p;
}

ParamSpec integer(const char* name, const char* label, const char* group, int def, int lo, int hi,
                  int displayLo, int displayHi) {
    ParamSpec p = base(name, ParamKind::Integer, label, group);
    p.defaultValue = def;
    p.minimum = lo;
    p.maximum = hi;
    p.displayMinimum = displayLo;
    p.displayMaximum = displayHi;
    return p;
}

ParamSpec boolean(const char* name, const char* label, const char* group, bool def) {
    ParamSpec p = base(name, ParamKind::Boolean, label, group);
    p.defaultValue = def ? 1.0 : 0.0;
    return p;
}

ParamSpec choice(const char* name, const char* label, const char* group, int def,
                 std::vector<std::string> options) {
    ParamSpec p = base(name, ParamKind::Choice, label, group);
    p.defaultValue = def;
    p.options = std::move(options);
    return p;
}

ParamSpec rgb(const char* name, const char* label, const char* group, double r, double g, double b) {
    ParamSpec p = base(name, ParamKind::Rgb, label, group);
    p.defaultRgb = {r, g, b};
    p.minimum = 0.0;
    p.maximum = 1.0;
    p.displayMinimum = 0.0;
    p.displayMaximum = 1.0;
    return p;
}

ParamSpec text(const char* name, const char* label, const char* group, StringMode mode,
               std::string def) {
    ParamSpec p = base(name, ParamKind::String, label, group);
    p.stringMode = mode;
    p.defaultText = std::move(def);
    return p;
}

ParamSpec button(const char* name, const char* label, const char* group) {
    return base(name, ParamKind::PushButton, label, group);
}

std::vector<std::string> slotOptions() {
    std::vector<std::string> out;
    for (int i = 1; i <= 20; ++i) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "Perso %02d", i);
        out.emplace_back(buf);
    }
    return out;
}

}  // namespace

std::string presetDirectory() {
    return userHomeFolder() + "/Documents/Tesmar/Varnok/Presets";
}

std::vector<GroupSpec> groupCatalogue() {
    return {
        {"engine", "Moteur de rendu", true, false},
        {"presets", "Préréglages", false, true},
        {"hudDisplay", "Affichage HUD", false, true},
        {"detection", "Détection", false, true},
        {"points", "Points", false, true},
        {"magnifier", "Loupe points", false, true},
        {"pointFlash", "Flash points", false, true},
        {"pointInvert", "Inversion points", false, true},
        {"boxes", "Boîtes", false, true},
        {"lines", "Lignes de connexion", false, true},
        {"trails", "Traînées (suivi temporel)", false, true},
        {"labels", "Libellés", false, true},
        {"crt", "CRT / Glow", false, true},
        {"pixelSort", "Pixel Sort", false, true},
    };
}

std::vector<ParamSpec> paramCatalogue() {
    std::vector<ParamSpec> c;
    c.reserve(kParamCount);

    c.push_back(choice("renderEngine", "Moteur CPU / GPU", "engine", 1, {"CPU", "GPU Metal"}));

    c.push_back(choice("builtinPreset", "Presets intégrés", "presets", 0,
                       {"CLASSIC", "HUD Scanner Vert", "CRT Surveillance", "Pixel Sort Rouge",
                        "ASCII Revolution", "Constellation MST", "Tactical Red Boxes",
                        "Biotech Cyan", "VHS Glitch Léger", "Traînées Fantômes",
                        "Point Cloud Blanc"}));
    c.push_back(choice("customPresetSlot", "Presets personnalisés", "presets", 0, slotOptions()));
    c.push_back(text("customPresetName", "Nom preset personnalisé", "presets",
                     StringMode::SingleLine, "Mon preset"));
    c.push_back(button("saveCustomPreset", "Sauvegarder dans la liste", "presets"));
    c.push_back(button("loadCustomPreset", "Charger depuis la liste", "presets"));
    c.push_back(text("presetPath", "Fichier import/export", "presets", StringMode::FilePath,
                     presetDirectory() + "/Varnok.qelvar"));
    c.push_back(button("savePreset", "Exporter fichier + liste", "presets"));
    c.push_back(button("loadPreset", "Importer fichier dans la liste", "presets"));

    c.push_back(dbl("hudScale", "Taille HUD", "hudDisplay", 2, 0.25, 12, 0.5, 6, 0.05));

    const char* d = "detection";
    c.push_back(boolean("fastPreview", "Prévisualisation rapide", d, true));
    c.push_back(choice("detectionScale", "Résolution de détection", d, 3,
                       {"Pleine", "Demi", "Quart", "Huitième"}));
    c.push_back(integer("previewObjectLimit", "Limite objets en preview", d, 48, 1, 512, 1, 256));
    c.push_back(boolean("useTemporalTracking", "Suivi temporel", d, false));
    c.push_back(rgb("targetColor", "Couleur cible", d, 1, 0, 0));
    c.push_back(dbl("hueTolerance", "Tolérance teinte", d, 0.06, 0.001, 0.5, 0.001, 0.2, 0.001));
    c.push_back(dbl("saturationTolerance", "Tolérance saturation", d, 0.45, 0.001, 1, 0.001, 1, 0.01));
    c.push_back(dbl("luminanceTolerance", "Tolérance luminance", d, 0.45, 0.001, 1, 0.001, 1, 0.01));
    c.push_back(dbl("softness", "Adoucissement", d, 0.2, 0.001, 2, 0.001, 0.75, 0.01));
    c.push_back(boolean("invertSelection", "Inverser la sélection", d, false));
    c.push_back(integer("blurRadius", "Flou avant détection", d, 1, 0, 12, 0, 6));
    c.push_back(integer("erodeIterations", "Éroder le masque", d, 0, 0, 8, 0, 4));
    c.push_back(integer("dilateIterations", "Dilater le masque", d, 1, 0, 8, 0, 4));
    c.push_back(integer("minBlobArea", "Taille blob minimale", d, 12, 1, 1000000, 1, 2000));
    c.push_back(integer("maxBlobArea", "Taille blob maximale", d, 500000, 1, 10000000, 100, 1000000));
    c.push_back(integer("maxObjects", "Objets maximum", d, 128, 1, 512, 1, 512));
    c.push_back(dbl("trackingDistance", "Distance de fusion régions", d, 90, 1, 2000, 1, 500, 1));
    c.push_back(integer("temporalFrames", "Images de traînée / suivi", d, 8, 0, 64, 0, 32));
    c.push_back(choice("outputMode", "Mode de sortie", d, 0,
                       {"Original + overlay", "Overlay seul", "Matte seul"}));
    c.push_back(dbl("sourceOpacity", "Opacité originale", d, 1, 0, 1, 0, 1, 0.01));

    const char* p = "points";
    c.push_back(boolean("drawPoints", "Dessiner les points", p, true));
    c.push_back(choice("pointShape", "Forme du point", p, 1, {"Point", "Cercle", "Carré", "Croix"}));
    c.push_back(rgb("pointColor", "Couleur point", p, 0.1, 1, 0.25));
    c.push_back(dbl("pointSize", "Taille point", p, 7, 0.5, 128, 1, 48, 0.5));
    c.push_back(dbl("pointStroke", "Épaisseur point", p, 2, 0.25, 32, 0.25, 12, 0.25));
    c.push_back(dbl("pointOpacity", "Opacité point", p, 1, 0, 1, 0, 1, 0.01));
    c.push_back(boolean("pointFill", "Remplir point", p, false));
    c.push_back(boolean("randomPointSize", "Taille point aléatoire", p, false));
    c.push_back(dbl("pointSizeMin", "Taille aléatoire min", p, 4, 0.5, 256, 1, 64, 0.5));
    c.push_back(dbl("pointSizeMax", "Taille aléatoire max", p, 22, 0.5, 256, 1, 96, 0.5));

    const char* m = "magnifier";
    c.push_back(boolean("magnifierEnable", "Activer loupe", m, false));
    c.push_back(dbl("magnifierIntensity", "Intensité loupe", m, 0, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("magnifierOpacity", "Opacité loupe", m, 0.85, 0, 1, 0, 1, 0.01));
    c.push_back(boolean("magnifierRandom", "Apparition aléatoire loupe", m, true));
    c.push_back(integer("magnifierMinTargets", "Points minimum loupe", m, 1, 0, 512, 0, 64));
    c.push_back(integer("magnifierMaxTargets", "Points maximum loupe", m, 512, 0, 512, 1, 512));
    c.push_back(dbl("magnifierFrequency", "Quantité loupe", m, 1, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("magnifierRadiusScale", "Échelle zone loupe", m, 1, 0.1, 4, 0.25, 2, 0.01));

    const char* f = "pointFlash";
    c.push_back(boolean("pointFlashEnable", "Activer flash", f, false));
    c.push_back(dbl("pointFlashIntensity", "Intensité flash", f, 0, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("pointFlashSpeed", "Vitesse flash", f, 1, 0.05, 12, 0.1, 6, 0.05));
    c.push_back(dbl("pointFlashGlow", "Glow intérieur flash", f, 0, 0, 2, 0, 1, 0.01));
    c.push_back(boolean("pointFlashRandom", "Flash aléatoire", f, true));
    c.push_back(integer("pointFlashMinTargets", "Points minimum flash", f, 1, 0, 512, 0, 32));
    c.push_back(integer("pointFlashMaxTargets", "Points maximum flash", f, 2, 0, 512, 1, 64));
    c.push_back(dbl("pointFlashFrequency", "Fréquence flash", f, 0.25, 0, 1, 0, 1, 0.01));

    const char* v = "pointInvert";
    c.push_back(boolean("pointInvertEnable", "Activer inversion points", v, false));
    c.push_back(dbl("pointInvertIntensity", "Intensité inversion", v, 0, 0, 1, 0, 1, 0.01));
    c.push_back(boolean("pointInvertRandom", "Inversion aléatoire", v, true));
    c.push_back(integer("pointInvertMinTargets", "Points minimum inversion", v, 1, 0, 512, 0, 32));
    c.push_back(integer("pointInvertMaxTargets", "Points maximum inversion", v, 2, 0, 512, 1, 64));
    c.push_back(dbl("pointInvertFrequency", "Fréquence inversion", v, 0.25, 0, 1, 0, 1, 0.01));

    const char* b = "boxes";
    c.push_back(boolean("drawBoxes", "Dessiner les boîtes", b, true));
    c.push_back(rgb("boxColor", "Couleur boîte", b, 1, 0.12, 0.08));
    c.push_back(dbl("boxStroke", "Épaisseur boîte", b, 2, 0.25, 32, 0.25, 12, 0.25));
    c.push_back(boolean("drawBoxText", "Texte attaché à la boîte", b, false));
    c.push_back(boolean("boxTextCoordinates", "Afficher coordonnées boîte", b, true));
    c.push_back(choice("boxTextCorner", "Coin du texte boîte", b, 1,
                       {"Haut gauche", "Haut droit", "Bas gauche", "Bas droit"}));
    c.push_back(integer("boxTextScale", "Taille texte boîte", b, 2, 1, 8, 1, 5));
    c.push_back(boolean("randomBoxTextSize", "Taille texte aléatoire", b, false));
    c.push_back(integer("boxTextSizeMin", "Taille texte min", b, 1, 1, 12, 1, 6));
    c.push_back(integer("boxTextSizeMax", "Taille texte max", b, 3, 1, 12, 1, 8));
    c.push_back(integer("boxTextOffset", "Décalage texte boîte", b, 5, 0, 400, 0, 80));
    c.push_back(rgb("boxTextColor", "Couleur texte boîte", b, 1, 1, 1));

    const char* l = "lines";
    c.push_back(boolean("drawLines", "Dessiner les lignes", l, true));
    c.push_back(choice("connectionMode", "Mode de connexion", l, 3,
                       {"Aucun", "Étoile", "Complet", "MST", "Plus proche"}));
    c.push_back(rgb("lineColor", "Couleur ligne", l, 0.85, 0.9, 1));
    c.push_back(dbl("lineWidth", "Épaisseur ligne", l, 1.5, 0.25, 64, 0.25, 16, 0.25));
    c.push_back(dbl("lineOpacity", "Opacité ligne", l, 0.75, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("maxConnectionDistance", "Distance connexion max", l, 500, 0, 4000, 0, 1500, 1));
    c.push_back(dbl("lineJitter", "Tremblement ligne", l, 0, 0, 80, 0, 30, 0.5));
    c.push_back(dbl("lineFlicker", "Scintillement ligne", l, 0, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("dashLength", "Pointillés ligne", l, 0, 0, 200, 0, 80, 1));
    c.push_back(choice("lineCurveMode", "Forme de courbe", l, 1,
                       {"Droit", "Arc", "Sinusoïde", "Organique"}));
    c.push_back(dbl("lineCurveAmount", "Intensité courbe", l, 42, -600, 600, -180, 180, 1));
    c.push_back(choice("lineMotif", "Motif sur ligne", l, 1,
                       {"Aucun", "Flèche", "Chevron", "Point", "Trait"}));
    c.push_back(dbl("motifSpacing", "Espacement motif", l, 92, 8, 500, 16, 220, 1));
    c.push_back(dbl("motifSize", "Taille motif", l, 9, 1, 80, 2, 32, 0.5));
    c.push_back(dbl("motifOpacity", "Opacité motif", l, 0.85, 0, 1, 0, 1, 0.01));

    const char* t = "trails";
    c.push_back(boolean("drawTrails", "Dessiner les traînées", t, true));
    c.push_back(rgb("trailColor", "Couleur traînée", t, 0.85, 0.9, 1));
    c.push_back(dbl("trailWidth", "Épaisseur traînée", t, 1.5, 0.25, 64, 0.25, 16, 0.25));
    c.push_back(dbl("trailOpacity", "Opacité traînée", t, 0.65, 0, 1, 0, 1, 0.01));

    const char* lb = "labels";
    c.push_back(boolean("drawLabels", "Afficher ID", lb, true));
    c.push_back(choice("labelTextMode", "Texte affiché", lb, 0,
                       {"ID + coordonnées", "Coordonnées XY", "Coordonnées normalisées",
                        "ID + vitesse", "ID + surface", "TARGET", "Tracking complet"}));
    c.push_back(boolean("labelCoordinates", "Afficher coordonnées", lb, true));
    c.push_back(boolean("labelVelocity", "Afficher vitesse", lb, false));
    c.push_back(integer("labelScale", "Taille texte", lb, 2, 1, 8, 1, 5));
    c.push_back(integer("labelOffsetX", "Décalage texte X", lb, 8, -400, 400, -100, 100));
    c.push_back(integer("labelOffsetY", "Décalage texte Y", lb, -18, -400, 400, -100, 100));
    c.push_back(rgb("labelColor", "Couleur texte", lb, 1, 1, 1));

    const char* r = "crt";
    c.push_back(dbl("glowAmount", "Intensité glow", r, 0.35, 0, 2, 0, 1, 0.01));
    c.push_back(dbl("scanline", "Lignes CRT", r, 0, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("noise", "Bruit CRT", r, 0, 0, 0.5, 0, 0.2, 0.005));
    c.push_back(dbl("vignette", "Vignette CRT", r, 0, 0, 1, 0, 0.7, 0.01));
    c.push_back(dbl("chromaticAberration", "Aberration chromatique", r, 0, 0, 24, 0, 12, 0.25));
    c.push_back(dbl("glitchAmount", "Glitch aléatoire léger", r, 0, 0, 1, 0, 0.35, 0.005));
    c.push_back(dbl("vhsFlicker", "Scintillement VHS aléatoire", r, 0, 0, 1, 0, 0.5, 0.005));
    c.push_back(dbl("lensDistortion", "Distorsion objectif", r, 0, -1, 1, -0.4, 0.4, 0.005));
    c.push_back(dbl("fisheye", "Fisheye", r, 0, 0, 1, 0, 0.6, 0.005));
    c.push_back(dbl("invertAmount", "Inversion couleur", r, 0, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("radialBlur", "Flou radial overlay", r, 0, 0, 1, 0, 0.5, 0.005));
    c.push_back(choice("asciiMode", "ASCII Revolution", r, 0, {"Désactivé", "Overlay", "Remplacer"}));
    c.push_back(dbl("asciiAmount", "Intensité ASCII", r, 0, 0, 1, 0, 1, 0.01));
    c.push_back(integer("asciiCellSize", "Taille cellule ASCII", r, 8, 4, 48, 4, 24));

    const char* s = "pixelSort";
    c.push_back(boolean("pixelSortEnable", "Activer Pixel Sort", s, false));
    c.push_back(choice("pixelSortScope", "Calque cible", s, 0,
                       {"Overlay seulement", "Original + overlay"}));
    c.push_back(choice("pixelSortDirection", "Direction", s, 2, {"Horizontal", "Vertical", "Mixte"}));
    c.push_back(rgb("pixelSortColor", "Couleur Pixel Sort", s, 1, 0.05, 0.02));
    c.push_back(dbl("pixelSortColorMix", "Force couleur", s, 0.85, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("pixelSortAmount", "Intensité Pixel Sort", s, 0.65, 0, 1, 0, 1, 0.01));
    c.push_back(integer("pixelSortLength", "Longueur des stries", s, 72, 2, 512, 4, 220));
    c.push_back(dbl("pixelSortThreshold", "Seuil de tri", s, 0.04, 0, 1, 0, 0.5, 0.005));
    c.push_back(boolean("pixelSortRandomize", "Mode aléatoire", s, true));
    c.push_back(dbl("pixelSortRandomAmount", "Intensité aléatoire", s, 0.45, 0, 1, 0, 1, 0.01));
    c.push_back(dbl("pixelSortBlur", "Flou Pixel Sort", s, 0.15, 0, 1, 0, 0.7, 0.01));
    c.push_back(dbl("pixelSortGlow", "Glow Pixel Sort", s, 0.6, 0, 2, 0, 1.5, 0.01));

    // Declared after the pixel sort controls although it belongs to the CRT
    // group, so it is the last child of the page.
    c.push_back(integer("seed", "Graine aléatoire", r, 1337, 0, 999999, 0, 9999));
    return c;
}

const ParamSpec* findParam(const std::vector<ParamSpec>& catalogue, const std::string& name) {
    for (const ParamSpec& spec : catalogue) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

bool isPresetControl(const ParamSpec& spec) { return spec.group == "presets"; }

}  // namespace ormel
