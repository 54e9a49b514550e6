#include "catalogue/param_catalogue.h"

#include <cstdio>
#include <type_traits>

#include "catalogue/home_folder.h"

namespace ormel {
namespace {

// One row under construction: the host's description from the builders
// below, then the field it fills and what the effect makes of it. `T` is the
// type a field of this kind must have, so a row pointing at a field of the
// wrong type does not compile.
struct Choice {};  // the kind of row that fills any choice enumeration

template <typename T>
struct Row {
    ParamSpec spec;

    template <typename M>
    Row& into(M Settings::*member, Sampling rule = Sampling::Plain) {
        // A choice fills its option's enumeration (the detection reduction,
        // an Own field, holds the factor instead).
        static_assert(std::is_same_v<M, T> || (std::is_same_v<T, Choice> && (std::is_enum_v<M> ||
                                                                            std::is_same_v<M, int32_t>)),
                      "the field's type does not fit the parameter's kind");
        spec.field = member;
        spec.sampling = rule;
        return *this;
    }
    Row& detects() {
        spec.detection = true;
        return *this;
    }
    Row& leavesSource(Passthrough when, const char* gate = "") {
        spec.passthrough = when;
        spec.passthroughGate = gate;
        return *this;
    }
    operator ParamSpec() const { return spec; }
};

template <typename T>
Row<T> base(const char* name, ParamKind kind, const char* label, const char* group) {
    Row<T> r;
    r.spec.name = name;
    r.spec.kind = kind;
    r.spec.label = label;
    r.spec.group = group;
    return r;
}

// A number's default and ranges: the hard one and the one a slider shows.
template <typename T>
Row<T> number(const char* name, ParamKind kind, const char* label, const char* group, double def, double lo,
              double hi, double displayLo, double displayHi) {
    Row<T> r = base<T>(name, kind, label, group);
    r.spec.defaultValue = def;
    r.spec.minimum = lo;
    r.spec.maximum = hi;
    r.spec.displayMinimum = displayLo;
    r.spec.displayMaximum = displayHi;
    return r;
}

Row<float> dbl(const char* name, const char* label, const char* group, double def, double lo, double hi,
               double displayLo, double displayHi, double increment) {
    Row<float> r = number<float>(name, ParamKind::Double, label, group, def, lo, hi, displayLo, displayHi);
    r.spec.increment = increment;
    return r;
}

Row<int32_t> integer(const char* name, const char* label, const char* group, int def, int lo, int hi,
                     int displayLo, int displayHi) {
    return number<int32_t>(name, ParamKind::Integer, label, group, def, lo, hi, displayLo, displayHi);
}

Row<bool> boolean(const char* name, const char* label, const char* group, bool def) {
    Row<bool> r = base<bool>(name, ParamKind::Boolean, label, group);
    r.spec.defaultValue = def ? 1.0 : 0.0;
    return r;
}

Row<Choice> choice(const char* name, const char* label, const char* group, int def,
                   std::vector<std::string> options) {
    Row<Choice> r = base<Choice>(name, ParamKind::Choice, label, group);
    r.spec.defaultValue = def;
    r.spec.options = std::move(options);
    return r;
}

Row<Pixel> rgb(const char* name, const char* label, const char* group, double r, double g, double b) {
    Row<Pixel> row = base<Pixel>(name, ParamKind::Rgb, label, group);
    ParamSpec& p = row.spec;
    p.defaultRgb = {r, g, b};
    p.minimum = 0.0;
    p.maximum = 1.0;
    p.displayMinimum = 0.0;
    p.displayMaximum = 1.0;
    return row;
}

ParamSpec text(const char* name, const char* label, const char* group, StringMode mode, std::string def) {
    Row<std::monostate> r = base<std::monostate>(name, ParamKind::String, label, group);
    r.spec.stringMode = mode;
    r.spec.defaultText = std::move(def);
    return r;
}

ParamSpec button(const char* name, const char* label, const char* group) {
    return base<std::monostate>(name, ParamKind::PushButton, label, group);
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

    c.push_back(choice("renderEngine", "Moteur CPU / GPU", "engine", 1, {"CPU", "GPU Metal"})
                .into(&Settings::renderEngine, Sampling::Own));

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

    c.push_back(dbl("hudScale", "Taille HUD", "hudDisplay", 2, 0.25, 12, 0.5, 6, 0.05)
                .into(&Settings::hudScale, Sampling::Own));

    const char* d = "detection";
    c.push_back(boolean("fastPreview", "Prévisualisation rapide", d, true));
    c.push_back(choice("detectionScale", "Résolution de détection", d, 3,
                       {"Pleine", "Demi", "Quart", "Huitième"})
                .into(&Settings::detectionScale, Sampling::Own));
    c.push_back(integer("previewObjectLimit", "Limite objets en preview", d, 48, 1, 512, 1, 256));
    c.push_back(boolean("useTemporalTracking", "Suivi temporel", d, false));
    c.push_back(rgb("targetColor", "Couleur cible", d, 1, 0, 0).into(&Settings::targetColor).detects());
    c.push_back(dbl("hueTolerance", "Tolérance teinte", d, 0.06, 0.001, 0.5, 0.001, 0.2, 0.001)
                .into(&Settings::hueTolerance)
                .detects());
    c.push_back(dbl("saturationTolerance", "Tolérance saturation", d, 0.45, 0.001, 1, 0.001, 1, 0.01)
                .into(&Settings::saturationTolerance)
                .detects());
    c.push_back(dbl("luminanceTolerance", "Tolérance luminance", d, 0.45, 0.001, 1, 0.001, 1, 0.01)
                .into(&Settings::luminanceTolerance)
                .detects());
    c.push_back(dbl("softness", "Adoucissement", d, 0.2, 0.001, 2, 0.001, 0.75, 0.01)
                .into(&Settings::softness)
                .detects());
    c.push_back(boolean("invertSelection", "Inverser la sélection", d, false)
                .into(&Settings::invertSelection)
                .detects());
    c.push_back(integer("blurRadius", "Flou avant détection", d, 1, 0, 12, 0, 6)
                .into(&Settings::blurRadius, Sampling::RenderCount)
                .detects());
    c.push_back(integer("erodeIterations", "Éroder le masque", d, 0, 0, 8, 0, 4)
                .into(&Settings::erodeIterations, Sampling::RenderCount)
                .detects());
    c.push_back(integer("dilateIterations", "Dilater le masque", d, 1, 0, 8, 0, 4)
                .into(&Settings::dilateIterations, Sampling::RenderCount)
                .detects());
    c.push_back(integer("minBlobArea", "Taille blob minimale", d, 12, 1, 1000000, 1, 2000)
                .into(&Settings::minBlobArea, Sampling::RenderArea)
                .detects());
    c.push_back(integer("maxBlobArea", "Taille blob maximale", d, 500000, 1, 10000000, 100, 1000000)
                .into(&Settings::maxBlobArea, Sampling::RenderArea)
                .detects());
    c.push_back(integer("maxObjects", "Objets maximum", d, 128, 1, 512, 1, 512)
                .into(&Settings::maxObjects)
                .detects());
    c.push_back(dbl("trackingDistance", "Distance de fusion régions", d, 90, 1, 2000, 1, 500, 1)
                .into(&Settings::trackingDistance, Sampling::RenderLength));
    c.push_back(integer("temporalFrames", "Images de traînée / suivi", d, 8, 0, 64, 0, 32)
                .into(&Settings::temporalFrames, Sampling::Own));
    c.push_back(choice("outputMode", "Mode de sortie", d, 0,
                       {"Original + overlay", "Overlay seul", "Matte seul"})
                .into(&Settings::outputMode)
                .leavesSource(Passthrough::FirstOption));
    c.push_back(dbl("sourceOpacity", "Opacité originale", d, 1, 0, 1, 0, 1, 0.01)
                .into(&Settings::sourceOpacity)
                .leavesSource(Passthrough::AtLeastOne));

    const char* p = "points";
    c.push_back(boolean("drawPoints", "Dessiner les points", p, true)
                .into(&Settings::drawPoints)
                .leavesSource(Passthrough::WhenOff));
    c.push_back(choice("pointShape", "Forme du point", p, 1, {"Point", "Cercle", "Carré", "Croix"})
                .into(&Settings::pointShape));
    c.push_back(rgb("pointColor", "Couleur point", p, 0.1, 1, 0.25).into(&Settings::pointColor));
    c.push_back(dbl("pointSize", "Taille point", p, 7, 0.5, 128, 1, 48, 0.5)
                .into(&Settings::pointSize, Sampling::HudSize));
    c.push_back(dbl("pointStroke", "Épaisseur point", p, 2, 0.25, 32, 0.25, 12, 0.25)
                .into(&Settings::pointStroke, Sampling::HudSize));
    c.push_back(dbl("pointOpacity", "Opacité point", p, 1, 0, 1, 0, 1, 0.01).into(&Settings::pointOpacity));
    c.push_back(boolean("pointFill", "Remplir point", p, false).into(&Settings::pointFill));
    c.push_back(boolean("randomPointSize", "Taille point aléatoire", p, false)
                .into(&Settings::randomPointSize));
    c.push_back(dbl("pointSizeMin", "Taille aléatoire min", p, 4, 0.5, 256, 1, 64, 0.5)
                .into(&Settings::pointSizeMin, Sampling::HudSize));
    c.push_back(dbl("pointSizeMax", "Taille aléatoire max", p, 22, 0.5, 256, 1, 96, 0.5)
                .into(&Settings::pointSizeMax, Sampling::HudSize));

    const char* m = "magnifier";
    c.push_back(boolean("magnifierEnable", "Activer loupe", m, false).into(&Settings::magnifierEnable));
    c.push_back(dbl("magnifierIntensity", "Intensité loupe", m, 0, 0, 1, 0, 1, 0.01)
                .into(&Settings::magnifierIntensity)
                .leavesSource(Passthrough::AtMostZero, "magnifierEnable"));
    c.push_back(dbl("magnifierOpacity", "Opacité loupe", m, 0.85, 0, 1, 0, 1, 0.01)
                .into(&Settings::magnifierOpacity));
    c.push_back(boolean("magnifierRandom", "Apparition aléatoire loupe", m, true)
                .into(&Settings::magnifierRandom));
    c.push_back(integer("magnifierMinTargets", "Points minimum loupe", m, 1, 0, 512, 0, 64)
                .into(&Settings::magnifierMinTargets));
    c.push_back(integer("magnifierMaxTargets", "Points maximum loupe", m, 512, 0, 512, 1, 512)
                .into(&Settings::magnifierMaxTargets));
    c.push_back(dbl("magnifierFrequency", "Quantité loupe", m, 1, 0, 1, 0, 1, 0.01)
                .into(&Settings::magnifierFrequency));
    c.push_back(dbl("magnifierRadiusScale", "Échelle zone loupe", m, 1, 0.1, 4, 0.25, 2, 0.01)
                .into(&Settings::magnifierRadiusScale));

    const char* f = "pointFlash";
    c.push_back(boolean("pointFlashEnable", "Activer flash", f, false).into(&Settings::pointFlashEnable));
    c.push_back(dbl("pointFlashIntensity", "Intensité flash", f, 0, 0, 1, 0, 1, 0.01)
                .into(&Settings::pointFlashIntensity)
                .leavesSource(Passthrough::AtMostZero, "pointFlashEnable"));
    c.push_back(dbl("pointFlashSpeed", "Vitesse flash", f, 1, 0.05, 12, 0.1, 6, 0.05)
                .into(&Settings::pointFlashSpeed));
    c.push_back(dbl("pointFlashGlow", "Glow intérieur flash", f, 0, 0, 2, 0, 1, 0.01)
                .into(&Settings::pointFlashGlow));
    c.push_back(boolean("pointFlashRandom", "Flash aléatoire", f, true).into(&Settings::pointFlashRandom));
    c.push_back(integer("pointFlashMinTargets", "Points minimum flash", f, 1, 0, 512, 0, 32)
                .into(&Settings::pointFlashMinTargets));
    c.push_back(integer("pointFlashMaxTargets", "Points maximum flash", f, 2, 0, 512, 1, 64)
                .into(&Settings::pointFlashMaxTargets));
    c.push_back(dbl("pointFlashFrequency", "Fréquence flash", f, 0.25, 0, 1, 0, 1, 0.01)
                .into(&Settings::pointFlashFrequency));

    const char* v = "pointInvert";
    c.push_back(boolean("pointInvertEnable", "Activer inversion points", v, false)
                .into(&Settings::pointInvertEnable));
    c.push_back(dbl("pointInvertIntensity", "Intensité inversion", v, 0, 0, 1, 0, 1, 0.01)
                .into(&Settings::pointInvertIntensity)
                .leavesSource(Passthrough::AtMostZero, "pointInvertEnable"));
    c.push_back(boolean("pointInvertRandom", "Inversion aléatoire", v, true)
                .into(&Settings::pointInvertRandom));
    c.push_back(integer("pointInvertMinTargets", "Points minimum inversion", v, 1, 0, 512, 0, 32)
                .into(&Settings::pointInvertMinTargets));
    c.push_back(integer("pointInvertMaxTargets", "Points maximum inversion", v, 2, 0, 512, 1, 64)
                .into(&Settings::pointInvertMaxTargets));
    c.push_back(dbl("pointInvertFrequency", "Fréquence inversion", v, 0.25, 0, 1, 0, 1, 0.01)
                .into(&Settings::pointInvertFrequency));

    const char* b = "boxes";
    c.push_back(boolean("drawBoxes", "Dessiner les boîtes", b, true)
                .into(&Settings::drawBoxes)
                .leavesSource(Passthrough::WhenOff));
    c.push_back(rgb("boxColor", "Couleur boîte", b, 1, 0.12, 0.08).into(&Settings::boxColor));
    c.push_back(dbl("boxStroke", "Épaisseur boîte", b, 2, 0.25, 32, 0.25, 12, 0.25)
                .into(&Settings::boxStroke, Sampling::HudSize));
    c.push_back(boolean("drawBoxText", "Texte attaché à la boîte", b, false).into(&Settings::drawBoxText));
    c.push_back(boolean("boxTextCoordinates", "Afficher coordonnées boîte", b, true)
                .into(&Settings::boxTextCoordinates));
    c.push_back(choice("boxTextCorner", "Coin du texte boîte", b, 1,
                       {"Haut gauche", "Haut droit", "Bas gauche", "Bas droit"})
                .into(&Settings::boxTextCorner));
    c.push_back(integer("boxTextScale", "Taille texte boîte", b, 2, 1, 8, 1, 5)
                .into(&Settings::boxTextScale, Sampling::HudTextSize));
    c.push_back(boolean("randomBoxTextSize", "Taille texte aléatoire", b, false)
                .into(&Settings::randomBoxTextSize));
    c.push_back(integer("boxTextSizeMin", "Taille texte min", b, 1, 1, 12, 1, 6)
                .into(&Settings::boxTextSizeMin, Sampling::HudTextSize));
    c.push_back(integer("boxTextSizeMax", "Taille texte max", b, 3, 1, 12, 1, 8)
                .into(&Settings::boxTextSizeMax, Sampling::HudTextSize));
    c.push_back(integer("boxTextOffset", "Décalage texte boîte", b, 5, 0, 400, 0, 80)
                .into(&Settings::boxTextOffset, Sampling::HudRounded));
    c.push_back(rgb("boxTextColor", "Couleur texte boîte", b, 1, 1, 1).into(&Settings::boxTextColor));

    const char* l = "lines";
    c.push_back(boolean("drawLines", "Dessiner les lignes", l, true)
                .into(&Settings::drawLines)
                .leavesSource(Passthrough::WhenOff));
    c.push_back(choice("connectionMode", "Mode de connexion", l, 3,
                       {"Aucun", "Étoile", "Complet", "MST", "Plus proche"}).into(&Settings::connectionMode));
    c.push_back(rgb("lineColor", "Couleur ligne", l, 0.85, 0.9, 1).into(&Settings::lineColor));
    c.push_back(dbl("lineWidth", "Épaisseur ligne", l, 1.5, 0.25, 64, 0.25, 16, 0.25)
                .into(&Settings::lineWidth, Sampling::HudSize));
    c.push_back(dbl("lineOpacity", "Opacité ligne", l, 0.75, 0, 1, 0, 1, 0.01).into(&Settings::lineOpacity));
    c.push_back(dbl("maxConnectionDistance", "Distance connexion max", l, 500, 0, 4000, 0, 1500, 1)
                .into(&Settings::maxConnectionDistance, Sampling::RenderLength));
    c.push_back(dbl("lineJitter", "Tremblement ligne", l, 0, 0, 80, 0, 30, 0.5)
                .into(&Settings::lineJitter, Sampling::HudSize));
    c.push_back(dbl("lineFlicker", "Scintillement ligne", l, 0, 0, 1, 0, 1, 0.01)
                .into(&Settings::lineFlicker));
    c.push_back(dbl("dashLength", "Pointillés ligne", l, 0, 0, 200, 0, 80, 1)
                .into(&Settings::dashLength, Sampling::HudSize));
    c.push_back(choice("lineCurveMode", "Forme de courbe", l, 1,
                       {"Droit", "Arc", "Sinusoïde", "Organique"}).into(&Settings::lineCurveMode));
    c.push_back(dbl("lineCurveAmount", "Intensité courbe", l, 42, -600, 600, -180, 180, 1)
                .into(&Settings::lineCurveAmount, Sampling::HudSize));
    c.push_back(choice("lineMotif", "Motif sur ligne", l, 1,
                       {"Aucun", "Flèche", "Chevron", "Point", "Trait"}).into(&Settings::lineMotif));
    c.push_back(dbl("motifSpacing", "Espacement motif", l, 92, 8, 500, 16, 220, 1)
                .into(&Settings::motifSpacing, Sampling::HudSize));
    c.push_back(dbl("motifSize", "Taille motif", l, 9, 1, 80, 2, 32, 0.5)
                .into(&Settings::motifSize, Sampling::HudSize));
    c.push_back(dbl("motifOpacity", "Opacité motif", l, 0.85, 0, 1, 0, 1, 0.01)
                .into(&Settings::motifOpacity));

    const char* t = "trails";
    c.push_back(boolean("drawTrails", "Dessiner les traînées", t, true)
                .into(&Settings::drawTrails)
                .leavesSource(Passthrough::WhenOff));
    c.push_back(rgb("trailColor", "Couleur traînée", t, 0.85, 0.9, 1).into(&Settings::trailColor));
    c.push_back(dbl("trailWidth", "Épaisseur traînée", t, 1.5, 0.25, 64, 0.25, 16, 0.25)
                .into(&Settings::trailWidth, Sampling::HudSize));
    c.push_back(dbl("trailOpacity", "Opacité traînée", t, 0.65, 0, 1, 0, 1, 0.01)
                .into(&Settings::trailOpacity));

    const char* lb = "labels";
    c.push_back(boolean("drawLabels", "Afficher ID", lb, true)
                .into(&Settings::drawLabels)
                .leavesSource(Passthrough::WhenOff));
    c.push_back(choice("labelTextMode", "Texte affiché", lb, 0,
                       {"ID + coordonnées", "Coordonnées XY", "Coordonnées normalisées",
                        "ID + vitesse", "ID + surface", "TARGET", "Tracking complet"})
                .into(&Settings::labelTextMode, Sampling::Own));
    c.push_back(boolean("labelCoordinates", "Afficher coordonnées", lb, true)
                .into(&Settings::labelCoordinates));
    c.push_back(boolean("labelVelocity", "Afficher vitesse", lb, false).into(&Settings::labelVelocity));
    c.push_back(integer("labelScale", "Taille texte", lb, 2, 1, 8, 1, 5)
                .into(&Settings::labelScale, Sampling::HudTextSize));
    c.push_back(integer("labelOffsetX", "Décalage texte X", lb, 8, -400, 400, -100, 100)
                .into(&Settings::labelOffsetX, Sampling::HudRounded));
    c.push_back(integer("labelOffsetY", "Décalage texte Y", lb, -18, -400, 400, -100, 100)
                .into(&Settings::labelOffsetY, Sampling::HudRounded));
    c.push_back(rgb("labelColor", "Couleur texte", lb, 1, 1, 1).into(&Settings::labelColor));

    const char* r = "crt";
    c.push_back(dbl("glowAmount", "Intensité glow", r, 0.35, 0, 2, 0, 1, 0.01)
                .into(&Settings::glowAmount)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("scanline", "Lignes CRT", r, 0, 0, 1, 0, 1, 0.01)
                .into(&Settings::scanline)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("noise", "Bruit CRT", r, 0, 0, 0.5, 0, 0.2, 0.005)
                .into(&Settings::noise)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("vignette", "Vignette CRT", r, 0, 0, 1, 0, 0.7, 0.01)
                .into(&Settings::vignette)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("chromaticAberration", "Aberration chromatique", r, 0, 0, 24, 0, 12, 0.25)
                .into(&Settings::chromaticAberration, Sampling::RenderLength)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("glitchAmount", "Glitch aléatoire léger", r, 0, 0, 1, 0, 0.35, 0.005)
                .into(&Settings::glitchAmount)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("vhsFlicker", "Scintillement VHS aléatoire", r, 0, 0, 1, 0, 0.5, 0.005)
                .into(&Settings::vhsFlicker)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("lensDistortion", "Distorsion objectif", r, 0, -1, 1, -0.4, 0.4, 0.005)
                .into(&Settings::lensDistortion)
                .leavesSource(Passthrough::AtZero));
    c.push_back(dbl("fisheye", "Fisheye", r, 0, 0, 1, 0, 0.6, 0.005)
                .into(&Settings::fisheye)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("invertAmount", "Inversion couleur", r, 0, 0, 1, 0, 1, 0.01)
                .into(&Settings::invertAmount)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(dbl("radialBlur", "Flou radial overlay", r, 0, 0, 1, 0, 0.5, 0.005)
                .into(&Settings::radialBlur)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(choice("asciiMode", "ASCII Revolution", r, 0, {"Désactivé", "Overlay", "Remplacer"})
                .into(&Settings::asciiMode));
    c.push_back(dbl("asciiAmount", "Intensité ASCII", r, 0, 0, 1, 0, 1, 0.01)
                .into(&Settings::asciiAmount)
                .leavesSource(Passthrough::AtMostZero));
    c.push_back(integer("asciiCellSize", "Taille cellule ASCII", r, 8, 4, 48, 4, 24)
                .into(&Settings::asciiCellSize, Sampling::RenderCount));

    const char* s = "pixelSort";
    c.push_back(boolean("pixelSortEnable", "Activer Pixel Sort", s, false).into(&Settings::pixelSortEnable));
    c.push_back(choice("pixelSortScope", "Calque cible", s, 0,
                       {"Overlay seulement", "Original + overlay"}).into(&Settings::pixelSortScope));
    c.push_back(choice("pixelSortDirection", "Direction", s, 2, {"Horizontal", "Vertical", "Mixte"})
                .into(&Settings::pixelSortDirection));
    c.push_back(rgb("pixelSortColor", "Couleur Pixel Sort", s, 1, 0.05, 0.02)
                .into(&Settings::pixelSortColor));
    c.push_back(dbl("pixelSortColorMix", "Force couleur", s, 0.85, 0, 1, 0, 1, 0.01)
                .into(&Settings::pixelSortColorMix));
    c.push_back(dbl("pixelSortAmount", "Intensité Pixel Sort", s, 0.65, 0, 1, 0, 1, 0.01)
                .into(&Settings::pixelSortAmount)
                .leavesSource(Passthrough::AtMostZero, "pixelSortEnable"));
    c.push_back(integer("pixelSortLength", "Longueur des stries", s, 72, 2, 512, 4, 220)
                .into(&Settings::pixelSortLength, Sampling::RenderCount));
    c.push_back(dbl("pixelSortThreshold", "Seuil de tri", s, 0.04, 0, 1, 0, 0.5, 0.005)
                .into(&Settings::pixelSortThreshold));
    c.push_back(boolean("pixelSortRandomize", "Mode aléatoire", s, true).into(&Settings::pixelSortRandomize));
    c.push_back(dbl("pixelSortRandomAmount", "Intensité aléatoire", s, 0.45, 0, 1, 0, 1, 0.01)
                .into(&Settings::pixelSortRandomAmount));
    c.push_back(dbl("pixelSortBlur", "Flou Pixel Sort", s, 0.15, 0, 1, 0, 0.7, 0.01)
                .into(&Settings::pixelSortBlur));
    c.push_back(dbl("pixelSortGlow", "Glow Pixel Sort", s, 0.6, 0, 2, 0, 1.5, 0.01)
                .into(&Settings::pixelSortGlow));

    // Declared after the pixel sort controls although it belongs to the CRT
    // group, so it is the last child of the page.
    c.push_back(integer("seed", "Graine aléatoire", r, 1337, 0, 999999, 0, 9999).into(&Settings::seed));
    return c;
}

const ParamSpec* findParam(const std::vector<ParamSpec>& catalogue, const std::string& name) {
    for (const ParamSpec& spec : catalogue) {
        if (spec.name == name) return &spec;
    }
    return nullptr;
}

bool isPresetControl(const ParamSpec& spec) { return spec.group == "presets"; }

const std::vector<ParamSpec>& paramTable() {
    static const std::vector<ParamSpec> table = paramCatalogue();
    return table;
}

std::vector<SettingsField> computedFields() {
    return {&Settings::maxConnectionEdges, &Settings::frameNumber};
}

Settings defaultSettings() {
    Settings s;
    s.maxConnectionEdges = 2048;
    s.frameNumber = 0;
    for (const ParamSpec& p : paramTable()) {
        if (p.sampling == Sampling::None) continue;
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, Pixel Settings::*>) {
                    s.*member = Pixel{static_cast<float>(p.defaultRgb[0]), static_cast<float>(p.defaultRgb[1]),
                                      static_cast<float>(p.defaultRgb[2]), 1.0f};
                } else if constexpr (std::is_same_v<Member, float Settings::*>) {
                    s.*member = static_cast<float>(p.defaultValue);
                } else if constexpr (std::is_same_v<Member, int32_t Settings::*>) {
                    s.*member = static_cast<int32_t>(p.defaultValue);
                } else if constexpr (std::is_same_v<Member, bool Settings::*>) {
                    s.*member = p.defaultValue != 0.0;
                } else if constexpr (!std::is_same_v<Member, std::monostate>) {
                    using Option = std::remove_reference_t<decltype(s.*member)>;
                    s.*member = static_cast<Option>(static_cast<int32_t>(p.defaultValue));
                }
            },
            p.field);
    }
    // The engine takes the reduction factor and the count of earlier frames,
    // not the controls' options: detection at full resolution, no history.
    s.detectionScale = 1;
    s.temporalFrames = 0;
    return s;
}

}  // namespace ormel
