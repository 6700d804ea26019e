#include "model/entities/mesh.h"

#include <cmath>
#include <algorithm>

#include "model/converter.h"

namespace {
bool Finite(const TPoint3F& p) { return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z); }
}  // namespace

TBox3F TkrDXFMesh::GetBox() const {
    TBox3F b = Box;
    if (!IsEmptyBox(b)) WidenByLineWeight(b);
    return b;
}

void TkrDXFMesh::ReadProperty(TkrDXFConverter& conv) {
    switch (conv.Code) {
        case 92:
            // The vertex count: the vertices follow; what they are is what
            // follows, not what the count announces.
            if (FReading == TReading::None && Vertices.empty()) FReading = TReading::Vertices;
            return;
        case 10: case 20: case 30:
            if (FReading != TReading::Vertices) break;
            if (conv.Code == 10) Vertices.push_back({float(conv.ValueAsFloat()), 0, 0});
            else if (!Vertices.empty()) (conv.Code == 20 ? Vertices.back().Y : Vertices.back().Z) = float(conv.ValueAsFloat());
            return;
        case 93:
            FReading = TReading::Faces;
            FFaceInts = std::max(0, conv.ValueAsInt());
            return;
        case 94:
            FReading = TReading::Edges;
            FFaceInts = 2 * int64_t(std::max(0, conv.ValueAsInt()));
            return;
        case 95: FReading = TReading::Creases; return;
        case 90:
            if (FReading == TReading::Faces && FFaceInts > 0) {
                FaceList.push_back(conv.ValueAsInt());
                if (--FFaceInts == 0) FReading = TReading::None;
            } else if (FReading == TReading::Edges && FFaceInts > 0) {
                // The edge list (of the creases): the faces give the edges.
                if (--FFaceInts == 0) FReading = TReading::None;
            } else {
                FReading = TReading::Overrides;
            }
            return;
        case 71: case 72: case 91: case 140: return;
        default: break;
    }
    if (FReading == TReading::Overrides) return;  // the overrides of sub-entities are not read
    TkrDXFPenLine::ReadProperty(conv);
}

void TkrDXFMesh::Loaded(TkrDXFConverter& conv) {
    PreparePattern();
    if (!Layer) Layer = conv.FindOrCreateLayer("0");
    if (!FaceList.empty()) {
        // Each face: a count, then that many vertex indices. The edges of a
        // face run from each vertex to the next and from the last back to
        // the first; an edge two faces share is drawn once.
        Edges.clear();
        const size_t nv = Vertices.size();
        uint32_t bad = 0;
        for (size_t i = 0; i < FaceList.size();) {
            int32_t c = FaceList[i++];
            size_t k = c > 0 ? std::min(size_t(c), FaceList.size() - i) : 0;
            bool named = true;
            for (size_t j = 0; j < k && k >= 2; ++j) {
                int32_t a = FaceList[i + j], b = FaceList[i + (j + 1) % k];
                if (a < 0 || b < 0 || size_t(a) >= nv || size_t(b) >= nv) {
                    named = false;
                    continue;
                }
                Edges.push_back({uint32_t(a), uint32_t(b)});
            }
            if (k == 1 && (FaceList[i] < 0 || size_t(FaceList[i]) >= nv)) named = false;
            if (!named) ++bad;
            i += k;
        }
        conv.Bounds.MeshFaces += bad;
        std::vector<int32_t>().swap(FaceList);
        RemoveRepeatedEdges(Edges);
    }
    FinishEdges(conv);
}

void TkrDXFMesh::FinishEdges(TkrDXFConverter&) {
    // An edge to a vertex that is not finite (or not there) is not drawn.
    const size_t nv = Vertices.size();
    size_t kept = 0;
    Box = EmptyBox;
    for (const auto& e : Edges) {
        if (e.first >= nv || e.second >= nv || !Finite(Vertices[e.first]) || !Finite(Vertices[e.second])) continue;
        ExpandBox(Box, Vertices[e.first]);
        ExpandBox(Box, Vertices[e.second]);
        Edges[kept++] = e;
    }
    Edges.resize(kept);
    Edges.shrink_to_fit();
}

void RemoveRepeatedEdges(std::vector<std::pair<uint32_t, uint32_t>>& edges) {
    // Sorted by the two vertices, then by place: the first of each run is
    // kept. 16 bytes an edge, whatever the mesh.
    std::vector<std::pair<uint64_t, uint64_t>> keys(edges.size());
    for (size_t i = 0; i < edges.size(); ++i) {
        const auto [a, b] = edges[i];
        keys[i] = {uint64_t(std::min(a, b)) << 32 | std::max(a, b), i};
    }
    std::sort(keys.begin(), keys.end());
    std::vector<bool> keep(edges.size(), false);
    for (size_t i = 0; i < keys.size(); ++i) {
        const uint64_t k = keys[i].first;
        if ((i == 0 || keys[i - 1].first != k) && uint32_t(k >> 32) != uint32_t(k)) keep[keys[i].second] = true;
    }
    size_t n = 0;
    for (size_t i = 0; i < edges.size(); ++i)
        if (keep[i]) edges[n++] = edges[i];
    edges.resize(n);
}
