// The one file that includes CGAL: its headers are slow to compile and need -frounding-math,
// so they sit in their own small library behind DelaunayTriangles.

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <utility>

#include "export/Tin.h"

namespace fluvex {

namespace {
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using DataStructure =
    CGAL::Triangulation_data_structure_2<VertexBase, CGAL::Triangulation_face_base_2<Kernel>>;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel, DataStructure>;
}  // namespace

std::vector<TinTriangle> DelaunayTriangles(std::span<const TinPoint> points) {
    std::vector<std::pair<Kernel::Point_2, int>> located;
    located.reserve(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        located.emplace_back(Kernel::Point_2(points[i].x, points[i].y), static_cast<int>(i));
    Delaunay triangulation;
    // Inserting the whole range sorts it spatially first, which is far faster than one by one.
    triangulation.insert(located.begin(), located.end());
    std::vector<TinTriangle> triangles;
    triangles.reserve(triangulation.number_of_faces());
    for (auto face = triangulation.finite_faces_begin(); face != triangulation.finite_faces_end();
         ++face)
        triangles.push_back(
            {face->vertex(0)->info(), face->vertex(1)->info(), face->vertex(2)->info()});
    return triangles;
}

}  // namespace fluvex
