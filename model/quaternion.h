#pragma once

// Unit quaternion for the view orientation. Every incremental rotation is
// composed on the left (r * orientation), so it turns about the fixed screen
// axes whatever the current orientation.
struct Quaternion {
    double w = 1.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    Quaternion() = default;
    Quaternion(double w_, double x_, double y_, double z_) : w(w_), x(x_), y(y_), z(z_) {}

    Quaternion operator*(const Quaternion& b) const {
        const Quaternion& a = *this;
        return {a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z,
                a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
                a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
                a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x};
    }

    Quaternion conjugate() const { return {w, -x, -y, -z}; }

    // Replaces (px, py, pz) by the vector part of (q * p) * conjugate(q).
    // q is not normalised here: callers build it from unit axes only.
    void rotate(double& px, double& py, double& pz) const {
        const Quaternion r = (*this * Quaternion(0.0, px, py, pz)) * conjugate();
        px = r.x;
        py = r.y;
        pz = r.z;
    }
};
