// MESH (a subdivision mesh): vertices and faces, drawn as the edges of its
// faces, every edge shared by faces once. The mesh of subdivision level 0 is
// drawn (the cage the file stores), whatever smoothing level it asks for.
// Proxy graphics and multilines make meshes of their own from edge lists.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "model/entity.h"

// Drops the edges that join the same two vertices as an edge before them
// (either way round) and the edges of a vertex to itself, keeping the order.
void RemoveRepeatedEdges(std::vector<std::pair<uint32_t, uint32_t>>& edges);

class TkrDXFMesh : public TkrDXFPenLine {
public:
    TkrDXFMesh() : TkrDXFPenLine(TEntityClass::Mesh) {}

    std::vector<TPoint3F> Vertices;  // groups 10/20/30 after group 92
    // The face list as read (group 93, then groups 90: a count, that many
    // vertex indices, the next count ...); released once finished.
    std::vector<int32_t> FaceList;
    // What is drawn: each edge once, as a pair of vertex indices.
    std::vector<std::pair<uint32_t, uint32_t>> Edges;
    TBox3F Box = EmptyBox;  // of the vertices the edges join

    TBox3F GetBox() const override;
    void ReadProperty(TkrDXFConverter& conv) override;
    // Turns the faces into edges (a face naming a vertex that does not
    // exist loses its edges to it, with a warning) and boxes them.
    void Loaded(TkrDXFConverter& conv) override;
    // Boxes the edges as given (a mesh made from an edge list).
    void FinishEdges(TkrDXFConverter& conv);

private:
    // Which list the groups 10/20/30 and 90 go to now.
    enum class TReading : uint8_t { None, Vertices, Faces, Edges, Creases, Overrides };
    TReading FReading = TReading::None;
    int64_t FFaceInts = 0;  // groups 90 of the face list still announced
};
