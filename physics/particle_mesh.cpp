#include "physics/particle_mesh.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/kernel_builds.h"
#include "physics/simd.h"
#include "physics/softening_lanes.h"
#include "physics/workers.h"

namespace {

// One grid a thread: galaxies stepped from two threads at once (the Python
// module lets go of the interpreter while it steps) fill grids of their own.
// Only this file sees it; others ask threadParticleMesh.
thread_local std::unique_ptr<CParticleMesh> g_particleMesh;

// ---- the vectorised pass ----------------------------------------------------------

// Stars first..first+count-1 of the pass's list, all in one cell (-1: outside
// the grid). The cut depends on the stars alone, never on the threads.
struct MeshGroup {
    int cell, first, count;
};
constexpr int kMaxGroup = 64;

// An occupied cell as a point mass.
struct OccupiedCell {
    int index;
    double x, y, z, gm, shield;
};

struct MeshPass {
    const CParticleMesh* mesh;
    const MeshGroup* groups;
    const int* stars;
    const OccupiedCell* occupied;
    int occupiedCount;
    double gravity;
    SofteningLanes softening;
    const double *x, *y, *z;
    double *ax, *ay, *az;
    double* potential;
};

#define ZYR_KERNELS_FILE "physics/particle_mesh_kernels.inc"
#include "physics/simd_builds.inc"
#undef ZYR_KERNELS_FILE

// Kept from one evaluation to the next by each calling thread.
struct PassLists {
    std::vector<MeshGroup> groups;
    std::vector<int> stars;
    std::vector<OccupiedCell> occupied;
};

// The pull of the grid on each star, as CParticleMesh::Acceleration gives it
// bit for bit, or with potential (and null ax, ay, az) each star's
// CParticleMesh::Potential: the stars of one cell take the same cells and
// entries in the same order, so they go through them together, one vector
// lane each.
void vectorisedPass(const CParticleMesh& mesh, const CGalaxy& g, int n, const double* x, const double* y,
                    const double* z, double* ax, double* ay, double* az, double* potential) {
    thread_local PassLists lists;
    lists.groups.clear();
    lists.stars.clear();
    lists.occupied.clear();
    const auto addGroups = [&](int cell, int first) {
        const int end = static_cast<int>(lists.stars.size());
        for (int k = first; k < end; k += kMaxGroup) lists.groups.push_back({cell, k, std::min(kMaxGroup, end - k)});
    };
    const int cells = static_cast<int>(mesh.cellStars.size());
    for (int c = 0; c < cells; ++c) {
        if (mesh.cellCount[c] == 0) continue;
        lists.occupied.push_back({c, mesh.cellMassCentreX[c], mesh.cellMassCentreY[c], mesh.cellMassCentreZ[c],
                                  g.gravity * mesh.cellMass[c], mesh.cellShield[c]});
        const CMeshCell& cell = mesh.cellStars[c];
        const int first = static_cast<int>(lists.stars.size());
        for (int i = 0; i < cell.count; ++i) lists.stars.push_back(cell.entries[i].starIndex);
        addGroups(c, first);
    }
    const int first = static_cast<int>(lists.stars.size());
    for (int i = 0; i < n; ++i)
        if (mesh.CellOf(x[i], y[i], z[i]) < 0) lists.stars.push_back(i);
    addGroups(-1, first);

    const MeshPass pass = {&mesh, lists.groups.data(), lists.stars.data(), lists.occupied.data(),
                           static_cast<int>(lists.occupied.size()), g.gravity, SofteningLanes(mesh.softening),
                           x, y, z, ax, ay, az, potential};
    withLaw(mesh.softening.kind, [&](auto law) {
        constexpr int kKind = decltype(law)::value;
        const auto kernel = potential ? selectedBuild(generic::passGroupPotential<kKind>,
                                                      avx2::passGroupPotential<kKind>,
                                                      avx512::passGroupPotential<kKind>)
                                      : selectedBuild(generic::passGroup<kKind>, avx2::passGroup<kKind>,
                                                      avx512::passGroup<kKind>);
        parallelFor(static_cast<int>(lists.groups.size()), [&](int k) { kernel(pass, k); });
    });
}

}  // namespace

void CMeshCell::Append(int starIndex, double x, double y, double z, double m) {
    if (count == static_cast<int>(entries.size())) entries.resize(count + 10);
    entries[count++] = {x, y, z, m, 0.0, starIndex};
}

void CMeshCell::Clear() {
    for (int i = 0; i < count; ++i) entries[i] = {};
    count = 0;
}

CParticleMesh::CParticleMesh(int n, double cx, double cy, double cz, double half)
    : cellsPerSide(n), centre{cx, cy, cz}, halfSize(half), low{cx - half, cy - half, cz - half} {
    const std::size_t cells = static_cast<std::size_t>(n) * n * n;
    cellMassCentreX.assign(cells, 0.0);
    cellMassCentreY.assign(cells, 0.0);
    cellMassCentreZ.assign(cells, 0.0);
    cellMass.assign(cells, 0.0);
    cellShield.assign(cells, 0.0);
    cellStars.resize(cells);
    cellCount.assign(cells, 0);
}

int CParticleMesh::CellOf(double x, double y, double z) const {
    const double p[3] = {x, y, z};
    int index[3];
    for (int a = 0; a < 3; ++a) {
        const double t = cellsPerSide * (p[a] - low[a]) / (2.0 * halfSize);
        // Truncation toward zero maps (-1, n) onto 0..n-1, so a point less
        // than one cell below the low face still lands in cell 0. NaN fails
        // the test and is never converted.
        if (!(t > -1.0 && t < cellsPerSide)) return -1;
        index[a] = static_cast<int>(t);
    }
    return Cell(index[0], index[1], index[2]);
}

void CParticleMesh::AssignStar(int starIndex, double x, double y, double z, double m) {
    const int c = CellOf(x, y, z);
    if (c < 0) return;
    cellStars[c].Append(starIndex, x, y, z, m);
    ++cellCount[c];
}

void CParticleMesh::ComputeCells(double gravity, double timeStep, double shieldModifier) {
    ShieldRule shieldOf(timeStep, shieldModifier);
    for (int c = 0; c < static_cast<int>(cellStars.size()); ++c) {
        CMeshCell& cell = cellStars[c];
        double sx = 0.0, sy = 0.0, sz = 0.0, total = 0.0;
        for (int i = 0; i < cell.count; ++i) {
            CMeshCell::Entry& e = cell.entries[i];
            sx += e.m * e.x;
            sy += e.m * e.y;
            sz += e.m * e.z;
            total += e.m;
            e.shield = shieldOf(gravity * e.m);
        }
        cellMass[c] = total;
        if (cell.count > 0) {
            cellMassCentreX[c] = sx / total;
            cellMassCentreY[c] = sy / total;
            cellMassCentreZ[c] = sz / total;
        }
        cellShield[c] = shieldOf(gravity * total);
    }
}

Accel3 CParticleMesh::Acceleration(int starIndex, double x, double y, double z, double /*m*/, double gravity,
                                   double exponent, double /*timeStep*/) const {
    const int own = CellOf(x, y, z);
    Accel3 a = {0.0, 0.0, 0.0};
    const bool soft = softened();
    const auto pull = [&](double dx, double dy, double dz, double gm, double shield) {
        const double r2 = dx * dx + dy * dy + dz * dz;
        double k;
        if (soft) {
            k = gm * softening.pull(r2);
        } else {
            const double r = std::sqrt(r2);
            // Strict: the star itself (r = 0) and coincident stars are skipped.
            if (!(r > shield)) return;
            k = PointMassFactor(gm, r2, r, exponent);
        }
        a[0] += k * dx;
        a[1] += k * dy;
        a[2] += k * dz;
    };
    for (int c = 0; c < static_cast<int>(cellStars.size()); ++c) {
        if (cellCount[c] == 0) continue;  // mass 0: nothing to add
        if (c == own) {
            const CMeshCell& cell = cellStars[c];
            for (int i = 0; i < cell.count; ++i) {
                const CMeshCell::Entry& e = cell.entries[i];
                if (!soft || e.starIndex != starIndex) pull(e.x - x, e.y - y, e.z - z, gravity * e.m, e.shield);
            }
        } else {
            pull(cellMassCentreX[c] - x, cellMassCentreY[c] - y, cellMassCentreZ[c] - z, gravity * cellMass[c],
                 cellShield[c]);
        }
    }
    return a;
}

double CParticleMesh::Potential(int starIndex, double x, double y, double z, double gravity) const {
    const int own = CellOf(x, y, z);
    double sum = 0.0;
    const bool soft = softened();
    const auto add = [&](double dx, double dy, double dz, double gm, double shield) {
        const double r2 = dx * dx + dy * dy + dz * dz;
        sum += soft ? gm * softening.depth(r2) : flatInside(gm, std::sqrt(r2), shield);
    };
    for (int c = 0; c < static_cast<int>(cellStars.size()); ++c) {
        if (cellCount[c] == 0) continue;
        if (c == own) {
            const CMeshCell& cell = cellStars[c];
            for (int i = 0; i < cell.count; ++i) {
                const CMeshCell::Entry& e = cell.entries[i];
                if (e.starIndex != starIndex) add(e.x - x, e.y - y, e.z - z, gravity * e.m, e.shield);
            }
        } else {
            add(cellMassCentreX[c] - x, cellMassCentreY[c] - y, cellMassCentreZ[c] - z, gravity * cellMass[c],
                cellShield[c]);
        }
    }
    return sum;
}

void CParticleMesh::Clear() {
    for (int c = 0; c < static_cast<int>(cellStars.size()); ++c) {
        cellMassCentreX[c] = cellMassCentreY[c] = cellMassCentreZ[c] = 0.0;
        cellMass[c] = 0.0;
        cellShield[c] = 0.0;
        cellCount[c] = 0;
        cellStars[c].Clear();
    }
}

namespace {

// Fills the grid (created on first use) with stars 0..n-1, hands it to use and
// empties it again however use ends, so that no star lingers into the next
// evaluation.
template <class Use>
void withFilledGrid(const CGalaxy& g, int n, const double* x, const double* y, const double* z, Use&& use) {
    if (!g_particleMesh) g_particleMesh = std::make_unique<CParticleMesh>(10, 0.0, 0.0, 0.0, 50.0);
    CParticleMesh& mesh = *g_particleMesh;
    struct ClearAfter {
        CParticleMesh& grid;
        ~ClearAfter() { grid.Clear(); }
    } clearAfter{mesh};

    for (int i = 0; i < n; ++i) mesh.AssignStar(i, x[i], y[i], z[i], g.mass[i]);
    mesh.ComputeCells(g.gravity, g.timeStep, g.shieldModifier);
    mesh.softening = SofteningKernel::of(g);
    use(static_cast<const CParticleMesh&>(mesh));
}

}  // namespace

const CParticleMesh* threadParticleMesh() { return g_particleMesh.get(); }

void particleMeshPotentials(const CGalaxy& g, int n, const double* x, const double* y, const double* z,
                            double* S) {
    withFilledGrid(g, n, x, y, z, [&](const CParticleMesh& mesh) {
        const bool plain = selectedKernelBuild() == KernelBuild::Plain;
        if (!plain) vectorisedPass(mesh, g, n, x, y, z, nullptr, nullptr, nullptr, S);
        parallelForEach(n, [&](int i) {
            const double phi = plain ? mesh.Potential(i, x[i], y[i], z[i], g.gravity) : S[i];
            S[i] = mesh.CellOf(x[i], y[i], z[i]) < 0 ? phi : 0.5 * phi;
        });
    });
}

void particleMeshForces(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                        double* ay, double* az) {
    withFilledGrid(g, n, x, y, z, [&](const CParticleMesh& mesh) {
        if (selectedKernelBuild() != KernelBuild::Plain) {
            vectorisedPass(mesh, g, n, x, y, z, ax, ay, az, nullptr);
            return;
        }
        // Each star's walk only reads the grid, so the stars can be shared out
        // among the threads in blocks without changing a bit of any result.
        parallelForEach(n, [&](int i) {
            const Accel3 a = mesh.Acceleration(i, x[i], y[i], z[i], g.mass[i], g.gravity, -2.0, g.timeStep);
            ax[i] = a[0];
            ay[i] = a[1];
            az[i] = a[2];
        });
    });
}
