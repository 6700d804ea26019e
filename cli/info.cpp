#include "cli/info.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <new>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <ostream>
#include <sstream>

#include "app/printable.h"
#include "model/converter.h"
#include "model/entities/blocks.h"
#include "model/entities/layout.h"
#include "model/entities/linear.h"
#include "model/errors.h"
#include "model/parsing.h"
#include "platform/codepage.h"
#include "render/loading.h"

namespace {

std::string ColorText(TColorValue c) {
    if (c == clForeground) return "foreground";
    if (c == clFromLayer) return "bylayer";
    if (c == clFromBlock) return "byblock";
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", unsigned(c & 0xFF), unsigned((c >> 8) & 0xFF),
                  unsigned((c >> 16) & 0xFF));
    return buf;
}

std::string Num(double v) {
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s << v;
    return s.str();
}

// The entity classes the drawing side draws; only those count for extents.
bool HasDrawProcedure(const TkrDXFEntity& e) {
    using C = TEntityClass;
    for (C c : {C::Line, C::Solid, C::Circle, C::Polyline, C::Spline, C::Insert, C::Text, C::Face3d, C::Point,
                C::Hatch, C::ImageEnt, C::Viewport, C::Compound, C::Mesh, C::XLine})
        if (e.Is(c)) return true;
    return false;
}


struct TFileInfo {
    std::string AcadVer;
    std::map<std::string, long long> EntityTypes;
    std::map<std::string, long long> PointCounts;  // points in the finished point lists, per type
    std::map<std::string, long long> InsertsPerBlock;  // inserts of the ENTITIES section whose block was found
    long long EntityTotal = 0;
    int Blocks = 0;
};

TFileInfo Collect(TkrDXFConverter& conv) {
    TFileInfo fi;
    fi.AcadVer = std::string(TrimBlanks(conv.HeaderValue("$ACADVER", 1)));
    if (TkrDXFGroup* ents = conv.GetTable(tkEntities))
        for (auto& e : ents->Entities) {
            // By the type name as written: an insert's GetName adds its block.
            std::string name = Cp1252ToUtf8(e->TypeName(&conv));
            ++fi.EntityTypes[name];
            if (e->Class == TEntityClass::Insert)
                if (const TkrDXFBlock* b = static_cast<const TkrDXFInsert&>(*e).Block)
                    ++fi.InsertsPerBlock[Cp1252ToUtf8(b->Name)];
            fi.PointCounts[name] += (long long)PointCount(*e);
            ++fi.EntityTotal;
        }
    if (TkrDXFGroup* blocks = conv.GetTable(tkBlocks))
        for (auto& b : blocks->Entities)
            if (b->Is(TEntityClass::Block)) ++fi.Blocks;
    return fi;
}

template <class F>
void ForEachOfClass(TkrDXFConverter& conv, int kind, TEntityClass cls, F f) {
    if (TkrDXFGroup* t = conv.GetTable(kind))
        for (auto& e : t->Entities)
            if (e->Is(cls)) f(*e);
}

// Names come from the drawing: the text is made printable as a whole.
void PrintText(const std::string& path, TkrDXFConverter& conv, std::ostream& terminal) {
    std::ostringstream out;
    TFileInfo fi = Collect(conv);
    out << path << "\n";
    out << "  $ACADVER: " << (fi.AcadVer.empty() ? "(none)" : fi.AcadVer) << "\n";
    out << "  Form: " << (conv.BinarySource ? "binary" : "ASCII") << "\n";
    out << "  Entities: " << fi.EntityTotal << "\n";
    for (auto& [name, n] : fi.EntityTypes) out << "    " << name << ": " << n << "\n";
    out << "  Blocks: " << fi.Blocks << "\n";
    out << "  Layers: " << conv.TableCount(tkLayer) << "\n";
    ForEachOfClass(conv, tkLayer, TEntityClass::Layer, [&](TkrDXFEntity& e) {
        auto& l = static_cast<TkrDXFLayer&>(e);
        out << "    " << Cp1252ToUtf8(l.Name) << "  colour " << ColorText(l.Color) << "  "
            << (l.IsVisible() ? "visible" : "hidden") << "  line type "
            << (l.LineTypeName.empty() ? "(none)" : Cp1252ToUtf8(l.LineTypeName)) << "\n";
    });
    out << "  Line types: " << conv.TableCount(tkLType) << "\n";
    ForEachOfClass(conv, tkLType, TEntityClass::LineType, [&](TkrDXFEntity& e) {
        auto& lt = static_cast<TkrDXFLineType&>(e);
        out << "    " << Cp1252ToUtf8(lt.Name) << "  [";
        for (size_t i = 0; i < lt.Pattern.FTicks.size(); ++i) out << (i ? ", " : "") << Num(lt.Pattern.FTicks[i]);
        out << "]\n";
    });
    out << "  Line type scale: " << Num(conv.GlobalLineTypeScale()) << "\n";
    out << "  Layouts: " << conv.LayoutCount() << "\n";
    for (int i = 0; i < conv.LayoutCount(); ++i) {
        TkrDXFLayout* l = conv.LayoutAt(i);
        out << "    " << i + 1 << ": " << Cp1252ToUtf8(l->Name) << "  block " << Cp1252ToUtf8(l->BlockName);
        if (IsEmptyBox(l->Box)) out << "  box empty\n";
        else
            out << "  box (" << Num(l->Box.Left) << ", " << Num(l->Box.Bottom) << ") - (" << Num(l->Box.Right)
                << ", " << Num(l->Box.Top) << ")\n";
    }
    terminal << Printable(out.str());
}

using TJson = nlohmann::ordered_json;  // keys in the order written

// A number as JSON, as the command line has always written it: integral
// values without a fraction ("1", not "1.0"), others in their shortest form
// that reads back exactly; NaN and infinities become null.
TJson JsonNumber(double v) {
    if (std::isfinite(v) && v == std::trunc(v) && std::fabs(v) < 9007199254740992.0)
        return TJson(static_cast<long long>(v));  // -0 prints as 0
    return TJson(v);
}

// A value the model keeps as a 32-bit float, as the shortest decimal that
// reads back to the same float (3.175, not the double 3.174999952316284).
TJson JsonNumber(float v) {
    if (!std::isfinite(v)) return JsonNumber(double(v));
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    double d = v;
    std::from_chars(buf, r.ptr, d);  // the same digits as a double; not the locale's
    return JsonNumber(d);
}

TJson FileJson(const std::string& path, TkrDXFConverter& conv) {
    TFileInfo fi = Collect(conv);
    TJson j = TJson::object();
    j["file"] = path;
    j["acadver"] = fi.AcadVer;
    j["form"] = conv.BinarySource ? "binary" : "ascii";
    TJson& types = j["entities"] = TJson::object();
    for (auto& [name, n] : fi.EntityTypes) types[name] = n;
    j["entity_count"] = fi.EntityTotal;
    TJson& points = j["points"] = TJson::object();
    for (auto& [name, n] : fi.PointCounts) points[name] = n;
    TJson& inserts = j["inserts"] = TJson::object();
    for (auto& [name, n] : fi.InsertsPerBlock) inserts[name] = n;
    j["blocks"] = fi.Blocks;
    TJson& layers = j["layers"] = TJson::array();
    ForEachOfClass(conv, tkLayer, TEntityClass::Layer, [&](TkrDXFEntity& e) {
        auto& l = static_cast<TkrDXFLayer&>(e);
        layers.push_back(TJson{{"name", Cp1252ToUtf8(l.Name)},
                               {"color", ColorText(l.Color)},
                               {"visible", l.IsVisible()},
                               {"linetype", Cp1252ToUtf8(l.LineTypeName)}});
    });
    TJson& ltypes = j["linetypes"] = TJson::array();
    ForEachOfClass(conv, tkLType, TEntityClass::LineType, [&](TkrDXFEntity& e) {
        auto& lt = static_cast<TkrDXFLineType&>(e);
        TJson elements = TJson::array();
        for (float t : lt.Pattern.FTicks) elements.push_back(JsonNumber(t));
        ltypes.push_back(TJson{{"name", Cp1252ToUtf8(lt.Name)}, {"elements", std::move(elements)}});
    });
    j["ltscale"] = JsonNumber(conv.GlobalLineTypeScale());
    TJson& layouts = j["layouts"] = TJson::array();
    for (int i = 0; i < conv.LayoutCount(); ++i) {
        TkrDXFLayout* l = conv.LayoutAt(i);
        TJson box = "empty";
        if (!IsEmptyBox(l->Box)) {
            box = TJson::array();
            for (float v : {l->Box.Left, l->Box.Bottom, l->Box.Right, l->Box.Top}) box.push_back(JsonNumber(v));
        }
        layouts.push_back(TJson{{"number", i + 1},
                                {"name", Cp1252ToUtf8(l->Name)},
                                {"block", Cp1252ToUtf8(l->BlockName)},
                                {"box", std::move(box)}});
    }
    return j;
}

}  // namespace

void AddInfoOptions(CLI::App& cmd, TInfoOptions& o) {
    cmd.add_flag("--json", o.Json, "one JSON array with an object per drawing");
    cmd.add_option("FILE", o.Files, "drawings to show")->type_name("")->required()->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

int RunInfo(const std::vector<std::string>& files, bool json, std::ostream& out, std::ostream& err) {
    int status = 0;
    TJson all = TJson::array();
    for (const std::string& path : files) {
        try {
            TkrDXFConverter conv;
            conv.OnCreateEntity = [](TkrDXFEntity& e) {
                if (HasDrawProcedure(e)) e.OnDraw = dhInventory;
            };
            std::ifstream f;
            uint64_t size = OpenDrawingFile(f, path);
            conv.LoadFromStream(f, size);
            conv.ComputeExtents();
            if (json) all.push_back(FileJson(path, conv));
            else PrintText(path, conv, out);
        } catch (const std::bad_alloc&) {
            err << Printable("dxf2plandrop: " + path + ": out of memory while reading the drawing: the drawing needs "
                             "more memory than is free") << "\n";
            status = 1;
        } catch (const std::exception& e) {
            err << Printable("dxf2plandrop: " + path + ": " + e.what()) << "\n";
            // The array has an entry for every file given, in their order.
            if (json) all.push_back(TJson{{"file", path}, {"error", e.what()}});
            status = 1;
        }
    }
    // Names and paths that are not valid UTF-8 keep their readable part; the
    // bytes that are not become U+FFFD, so the output stays valid JSON.
    if (json) out << all.dump(-1, ' ', false, TJson::error_handler_t::replace) << "\n";
    return status;
}
