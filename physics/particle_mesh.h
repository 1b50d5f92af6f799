#pragma once

#include <vector>

#include "physics/barnes_hut.h"
#include "physics/softening.h"

class CGalaxy;

// The stars sorted into one cell of the grid.
class CMeshCell {
public:
    struct Entry {
        double x, y, z, m;
        double shield;
        int starIndex;
    };

    int count = 0;
    // Storage grows in blocks of ten and is kept when the cell is emptied, so
    // that later evaluations reuse it.
    std::vector<Entry> entries;

    void Append(int starIndex, double x, double y, double z, double m);
    void Clear();
};

// A fixed cubic grid whose cells group the stars: a star feels the stars of
// its own cell one by one and every other cell as a point mass.
class CParticleMesh {
public:
    int cellsPerSide;
    // Indexed [ix][iy][iz], flattened by Cell().
    std::vector<double> cellMassCentreX, cellMassCentreY, cellMassCentreZ;
    std::vector<double> cellMass;
    std::vector<double> cellShield;
    std::vector<CMeshCell> cellStars;
    std::vector<int> cellCount;
    double centre[3];
    double halfSize;
    double low[3];
    // With a softening (any kind but Softening::Shield) the cells pull as
    // softened point masses and the stars of a star's own cell as softened
    // stars, the star itself left out; the shield radii play no part.
    SofteningKernel softening = {Softening::Shield, 0.0};

    CParticleMesh(int cellsPerSide, double cx, double cy, double cz, double halfSize);

    int Cell(int ix, int iy, int iz) const { return (ix * cellsPerSide + iy) * cellsPerSide + iz; }
    // Flat index of the cell holding the point, -1 when it lies outside the
    // grid (or a coordinate is NaN or infinite).
    int CellOf(double x, double y, double z) const;

    void AssignStar(int starIndex, double x, double y, double z, double m);
    void ComputeCells(double gravity, double timeStep, double shieldModifier);
    Accel3 Acceleration(int starIndex, double x, double y, double z, double m, double gravity, double exponent,
                        double timeStep) const;
    // The potential at the star (gravity * m / r summed, Newtonian) from what
    // Acceleration takes: the other stars of its own cell one by one, every
    // other cell as a point mass; each flat inside its shield radius, or with
    // a softening gravity * m * depth summed.
    double Potential(int starIndex, double x, double y, double z, double gravity) const;
    void Clear();

    bool softened() const { return softening.kind != Softening::Shield; }
};

// The calling thread's grid: created by its first Particle-Mesh evaluation
// and kept until the thread ends; null before.
const CParticleMesh* threadParticleMesh();

// Accelerations of stars 0..n-1 from the fixed particle-mesh grid of the
// calling thread (see threadParticleMesh). Assigns ax, ay, az.
void particleMeshForces(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z,
                        double* ax, double* ay, double* az);

// Each star's share of the potential energy of the grid's pull, positive (the
// energy is minus the sum of mass times share): half its Potential for a star
// inside the grid, whose pull on the others counts it the other way round;
// the whole of it for a star outside, which pulls on nobody. Each star's sum
// is taken in cell order by one thread, with the selected build of the
// kernels as particleMeshForces takes it, or with KernelBuild::Plain star by
// star from Potential; both give the same bits. Assigns S.
void particleMeshPotentials(const CGalaxy& galaxy, int n, const double* x, const double* y, const double* z,
                            double* S);
