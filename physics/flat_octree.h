#pragma once

#include <cstdint>
#include <vector>

#include "physics/barnes_hut.h"
#include "physics/key_sort.h"

class CGalaxy;

// The octree of COctreeNode for one evaluation, laid out for a fast walk. It
// has the same cells with the same masses, centres of mass, shield radii and
// bucket cells, bit for bit, but keeps only the non-empty ones, in one array
// in depth-first order (children in octant order), each knowing where its
// subtree ends. It is built from the stars sorted by their paths from the
// root rather than by inserting them one by one: the octree of a set of stars
// does not depend on the order of insertion, except for the order inside a
// bucket cell, which is kept (index order).
class CFlatOctree {
public:
    enum : std::int16_t { kLeaf, kSubdivided, kBucket };

    struct Node {
        double massCentre[3];
        double gm;         // gravity * mass
        double shield;     // shield radius
        double openLimit;  // openingLimit of the cell
        int next;          // the node after this one's subtree
        int star;          // the star of a leaf, -1 for other cells
        std::int16_t depth;
        std::int16_t kind;
        int bucket;  // a bucket cell's entry in buckets(), -1 for other cells
    };
    struct Bucket {
        int first, count;  // in stars()
    };

    // Builds the tree of the galaxy's settings over stars 0..n-1 at the given
    // positions. Stars outside the root cube, or with a coordinate that is NaN
    // or infinite, are left out as COctreeNode::Insert leaves them out.
    // Throws std::bad_alloc when memory runs out.
    void build(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z);

    // The pull of the tree on each of the stars it was built for, at the
    // positions of build, as COctreeNode::Acceleration with exponent -2 gives
    // it, into ax, ay, az, and COctreeNode::Potential into potential; either
    // may be left out (null) and is then not computed. Needs at least two
    // stars in the tree.
    void walk(const double* x, const double* y, const double* z, double gravity, double* ax, double* ay, double* az,
              double* potential) const;

    int starsInTree() const { return static_cast<int>(stars_.size()); }
    // Every star given to build, those of the tree first (starsInTree() of
    // them), in the order of the walk.
    const int* walkingOrder() const { return order_.data(); }

    // The key holds the octants of the path below the cell it starts at.
    using Entry = KeyedStar;
    struct Cell;

private:
    // The stars a tree is built of.
    struct Source {
        const double *x, *y, *z, *mass;
        double gravity, openingAngle;
    };

    double buildCell(const Cell& cell, int begin, int end, int keyDepth, const Source& source);
    void gather(int begin, int end, const Source& source);

    std::vector<Node> nodes_;
    std::vector<Bucket> buckets_;
    std::vector<Entry> entries_, sortSpace_;
    // The stars of the tree in the order of the tree; the shield radius is
    // set for the members of bucket cells only.
    std::vector<OctreeStar> stars_;
    // Stars in walking order: those of the tree, so that neighbours in the
    // list are neighbours in space, then the others.
    std::vector<int> order_;
};

// The walk of barnesHutForces (ax, ay, az null: barnesHutPotentials) over the
// calling thread's flat octree, with the selected build of the kernels; false,
// with nothing written, when the plain build is selected or fewer than two
// stars are in the box, for the reference walk to take over.
bool flatOctreeWalk(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z, double* ax,
                    double* ay, double* az, double* S);
