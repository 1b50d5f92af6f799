#include "physics/particle_mesh.h"

#include <memory>

#include "model/galaxy.h"
#include "physics/forces.h"
#include "physics/workers.h"

CParticleMesh* g_particleMesh = nullptr;

namespace {

// Frees the grid at exit and leaves no dangling global behind.
struct MeshOwner {
    std::unique_ptr<CParticleMesh> mesh;
    ~MeshOwner() { g_particleMesh = nullptr; }
} s_meshOwner;

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

Accel3 CParticleMesh::Acceleration(int /*starIndex*/, double x, double y, double z, double /*m*/, double gravity,
                                   double exponent, double /*timeStep*/) const {
    const int own = CellOf(x, y, z);
    Accel3 a = {0.0, 0.0, 0.0};
    const auto pull = [&](double dx, double dy, double dz, double gm, double shield) {
        const double r2 = dx * dx + dy * dy + dz * dz;
        const double r = std::sqrt(r2);
        // Strict: the star itself (r = 0) and coincident stars are skipped.
        if (!(r > shield)) return;
        const double k = PointMassFactor(gm, r2, r, exponent);
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
                pull(e.x - x, e.y - y, e.z - z, gravity * e.m, e.shield);
            }
        } else {
            pull(cellMassCentreX[c] - x, cellMassCentreY[c] - y, cellMassCentreZ[c] - z, gravity * cellMass[c],
                 cellShield[c]);
        }
    }
    return a;
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

void particleMeshForces(const CGalaxy& g, int n, const double* x, const double* y, const double* z, double* ax,
                        double* ay, double* az) {
    if (!g_particleMesh) {
        s_meshOwner.mesh = std::make_unique<CParticleMesh>(10, 0.0, 0.0, 0.0, 50.0);
        g_particleMesh = s_meshOwner.mesh.get();
    }
    CParticleMesh& mesh = *g_particleMesh;
    // Empties the grid however the evaluation ends, so that no star of this
    // one lingers into the next.
    struct ClearAfter {
        CParticleMesh& grid;
        ~ClearAfter() { grid.Clear(); }
    } clearAfter{mesh};

    for (int i = 0; i < n; ++i) mesh.AssignStar(i, x[i], y[i], z[i], g.mass[i]);
    mesh.ComputeCells(g.gravity, g.timeStep, g.shieldModifier);
    // Each star's walk only reads the grid, so the stars can be shared out
    // among the threads in blocks without changing a bit of any result.
    parallelForEach(n, [&](int i) {
        const Accel3 a = mesh.Acceleration(i, x[i], y[i], z[i], g.mass[i], g.gravity, -2.0, g.timeStep);
        ax[i] = a[0];
        ay[i] = a[1];
        az[i] = a[2];
    });
}
