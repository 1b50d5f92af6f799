"""h5py, an independent reader and writer, checks zyr-sim's snapshots both ways.

It reads a snapshot zyr-sim wrote and compares it with the same run's state
CSV; it writes snapshots after the published layouts of GADGET-4 (single
precision, units under /Parameters, masses from MassTable), SWIFT (/Units,
compressed datasets, gas) and a two-part set, and checks what zyr-sim loads
from them. yt, an analysis code, must see a GADGET snapshot in what zyr-sim
writes, with the same stars. Usage: snapshot_layouts.py ZYR_SIM WORK_DIR
"""
import csv
import os
import subprocess
import sys

import h5py
import numpy as np

ZYR_SIM, WORK = sys.argv[1], sys.argv[2]
os.makedirs(WORK, exist_ok=True)

# The Galactic scale's units in cgs: thousand light years, solar mass, million years.
KLY_CM, MSOL_G, MYR_S = 9.46728e20, 1.99e33, 3.15576e13


def path(name):
    return os.path.join(WORK, name)


def run(*args, fails=False):
    done = subprocess.run([ZYR_SIM, "--quiet", *args], capture_output=True, text=True)
    assert (done.returncode != 0) == fails, (args, done.returncode, done.stderr)
    return done.stderr


def state_of(snapshot):
    """The stars zyr-sim loads from a snapshot: (masses, positions, velocities, colours)."""
    run("--load", snapshot, "--steps", "0", "--state", path("state.csv"))
    with open(path("state.csv")) as f:
        rows = np.array([[float(v) for v in row] for row in list(csv.reader(f))[1:]])
    return rows[:, 1], rows[:, 2:5], rows[:, 5:8], rows[:, 8].astype(int)


def header(f, this_file, total, mass_table, time, files=1, count_type="u4"):
    h = f.create_group("Header")
    h.attrs.create("NumPart_ThisFile", this_file, dtype=count_type)
    h.attrs.create("NumPart_Total", total, dtype="u4")
    h.attrs.create("NumPart_Total_HighWord", [0] * 6, dtype="u4")
    h.attrs["MassTable"] = np.array(mass_table, dtype="f8")
    h.attrs["Time"] = time
    h.attrs["Redshift"] = 0.0
    h.attrs["BoxSize"] = 0.0
    h.attrs.create("NumFilesPerSnapshot", files, dtype="i4")
    return h


def close(a, b):
    assert np.allclose(a, b, rtol=1e-12, atol=0), (a, b)


def check_zyr_written():
    snapshot = path("zyr.hdf5")
    run("--shape", "disc", "--stars", "50", "--seed", "3", "--dt", "2", "--steps", "3",
        "--save", snapshot, "--state", path("written.csv"))
    with open(path("written.csv")) as f:
        rows = np.array([[float(v) for v in row] for row in list(csv.reader(f))[1:]])
    with h5py.File(snapshot, "r") as f:
        h = f["Header"].attrs
        assert list(h["NumPart_ThisFile"]) == [0, 50, 0, 0, 0, 0]
        assert list(h["NumPart_Total"]) == [0, 50, 0, 0, 0, 0]
        assert list(h["NumPart_Total_HighWord"]) == [0] * 6
        assert list(h["MassTable"]) == [0.0] * 6
        assert h["Time"] == 6.0 and h["Redshift"] == 0.0 and h["NumFilesPerSnapshot"] == 1
        assert h["Flag_DoublePrecision"] == 1
        stars = f["PartType1"]
        assert stars["Coordinates"].shape == (50, 3) and stars["Coordinates"].dtype == "<f8"
        assert stars["Velocities"].shape == (50, 3) and stars["Masses"].shape == (50,)
        assert stars["ParticleIDs"].dtype == "<u8"
        # (index + 1) * 16 + 8 + colour: the order and the colours in one
        assert (stars["ParticleIDs"][:] == 16 * np.arange(1, 51) + 8 + rows[:, 8]).all()
        # Bit for bit what the run's state shows.
        assert (stars["Masses"][:] == rows[:, 1]).all()
        assert (stars["Coordinates"][:] == rows[:, 2:5]).all()
        assert (stars["Velocities"][:] == rows[:, 5:8]).all()
        assert (f["Zyr/Colors"][:] == rows[:, 8]).all()
        assert f["Zyr"].attrs["TimeStep"] == 2.0 and f["Zyr"].attrs["Scale"] == 0
        units = f["Units"].attrs
        assert units["Unit length in cgs (U_L)"] == KLY_CM
        assert units["Unit mass in cgs (U_M)"] == MSOL_G
        assert units["Unit time in cgs (U_t)"] == MYR_S


def check_through_gadget4_and_yt():
    """A Zyr snapshot as GADGET-4 gives it back: its own header and parameters,
    the particles reordered, /Zyr and /Units gone; and as yt reads it."""
    snapshot, returned = path("zyr.hdf5"), path("returned.hdf5")
    mass, xyz, v, colour = state_of(snapshot)
    order = np.random.default_rng(2).permutation(len(mass))
    with h5py.File(snapshot, "r") as src, h5py.File(returned, "w") as f:
        header(f, [0, 50, 0, 0, 0, 0], [0, 50, 0, 0, 0, 0], [0] * 6, src["Header"].attrs["Time"])
        p = f.create_group("Parameters").attrs
        p["UnitLength_in_cm"], p["UnitMass_in_g"], p["UnitVelocity_in_cm_per_s"] = KLY_CM, MSOL_G, KLY_CM / MYR_S
        stars = f.create_group("PartType1")
        for name in ("Coordinates", "Velocities", "Masses", "ParticleIDs"):
            stars[name] = src["PartType1"][name][:][order]
    back = state_of(returned)
    close(back[1], xyz)
    assert list(back[3]) == list(colour)

    import yt  # slow to import; only this check needs it
    ds = yt.load(snapshot)
    assert type(ds).__name__ == "GadgetHDF5Dataset", type(ds)
    ad = ds.all_data()
    ids = ad["PartType1", "ParticleIDs"].d.astype(int)
    by_star = np.argsort(ids)
    assert len(ids) == len(mass)
    assert (ad["PartType1", "Coordinates"].to("code_length").d[by_star] == xyz).all()
    assert (ad["PartType1", "Velocities"].to("code_velocity").d[by_star] == v).all()
    assert (ad["PartType1", "Masses"].to("code_mass").d[by_star] == mass).all()


def check_gadget4():
    """GADGET-4's layout: single precision, kpc, 1e10 solar masses, km/s."""
    kpc, mass_unit, velocity_unit = 3.085678e21, 1.989e43, 1e5
    rng = np.random.default_rng(1)
    pos = rng.normal(size=(5, 3)).astype("f4")
    vel = rng.normal(size=(5, 3)).astype("f4")
    ids = np.array([4, 2, 5, 1, 3], dtype="u4")
    snapshot = path("gadget4.hdf5")
    with h5py.File(snapshot, "w") as f:
        header(f, [0, 3, 2, 0, 0, 0], [0, 3, 2, 0, 0, 0], [0, 0, 0.5, 0, 0, 0], 0.25, count_type="u8")
        p = f.create_group("Parameters").attrs
        p["UnitLength_in_cm"], p["UnitMass_in_g"], p["UnitVelocity_in_cm_per_s"] = kpc, mass_unit, velocity_unit
        p.create("ComovingIntegrationOn", 0, dtype="i4")
        f.create_group("Config")
        halo = f.create_group("PartType1")
        halo["Coordinates"], halo["Velocities"], halo["ParticleIDs"] = pos[:3], vel[:3], ids[:3]
        halo["Masses"] = np.array([1.0, 2.0, 3.0], dtype="f4")
        disk = f.create_group("PartType2")
        disk["Coordinates"], disk["Velocities"], disk["ParticleIDs"] = pos[3:], vel[3:], ids[3:]
    mass, xyz, v, colour = state_of(snapshot)
    order = np.argsort(ids)
    length, time = kpc / KLY_CM, kpc / velocity_unit / MYR_S
    close(xyz, pos[order].astype("f8") * length)
    close(v, vel[order].astype("f8") * length / time)
    close(mass, np.array([1.0, 2.0, 3.0, 0.5, 0.5])[order] * mass_unit / MSOL_G)
    # halo white, disk yellow
    assert list(colour) == [[0, 0, 0, 3, 3][i] for i in order], colour


def check_swift():
    """SWIFT's layout: /Units, /Cosmology, compressed datasets, gas and stars."""
    snapshot, cosmological = path("swift.hdf5"), path("swift-cosmo.hdf5")
    for name, cosmo in ((snapshot, 0), (cosmological, 1)):
        with h5py.File(name, "w") as f:
            h = header(f, [2, 0, 0, 0, 1, 0], [2, 0, 0, 0, 1, 0], [0] * 6, 0.0, count_type="i8")
            h.attrs["Time"] = np.array([3.0])
            u = f.create_group("Units").attrs
            for key, value in (("U_L", 3.085678e24), ("U_M", 1.98841e43), ("U_t", 3.085678e19),
                               ("U_I", 1.0), ("U_T", 1.0)):
                u[f"Unit {dict(U_L='length', U_M='mass', U_t='time', U_I='current', U_T='temperature')[key]}"
                  f" in cgs ({key})"] = np.array([value])
            f.create_group("Cosmology").attrs["Cosmological run"] = np.array([cosmo], dtype="i4")
            gas = f.create_group("PartType0")
            kw = dict(compression="gzip", chunks=True)
            gas.create_dataset("Coordinates", data=[[1.0, 2.0, 3.0], [4.0, 5.0, 6.0]], **kw)
            gas.create_dataset("Velocities", data=[[0.1, 0.0, 0.0], [0.0, 0.2, 0.0]], **kw)
            gas.create_dataset("Masses", data=[1.0, 2.0], **kw)
            gas.create_dataset("ParticleIDs", data=np.array([10, 30], dtype="i8"), **kw)
            gas["Densities"] = [1.0, 1.0]
            star = f.create_group("PartType4")
            star["Coordinates"], star["Velocities"] = [[7.0, 8.0, 9.0]], [[0.0, 0.0, 0.3]]
            star["Masses"], star["ParticleIDs"] = [3.0], np.array([20], dtype="i8")
    mass, xyz, v, colour = state_of(snapshot)
    length, time = 3.085678e24 / KLY_CM, 3.085678e19 / MYR_S
    close(xyz, np.array([[1, 2, 3], [7, 8, 9], [4, 5, 6]]) * length)
    close(v[:, 0], np.array([0.1, 0, 0]) * length / time)
    close(mass, np.array([1, 3, 2]) * 1.98841e43 / MSOL_G)
    assert list(colour) == [5, 1, 5]  # gas blue, stars red
    assert "cosmological" in run("--load", cosmological, "--steps", "0", fails=True)


def check_two_parts():
    for part in range(2):
        with h5py.File(path(f"snap_007.{part}.hdf5"), "w") as f:
            header(f, [0, 2, 0, 0, 0, 0], [0, 4, 0, 0, 0, 0], [0, 1.5, 0, 0, 0, 0], 0.0, files=2)
            g = f.create_group("PartType1")
            g["Coordinates"] = np.full((2, 3), float(part))
            g["Velocities"] = np.zeros((2, 3))
            g["ParticleIDs"] = np.array([1 + part, 3 + part], dtype="u8")
    mass, xyz, _, _ = state_of(path("snap_007.0.hdf5"))
    assert list(xyz[:, 0]) == [0.0, 1.0, 0.0, 1.0] and list(mass) == [1.5] * 4
    os.remove(path("snap_007.1.hdf5"))
    assert "is missing" in run("--load", path("snap_007.0.hdf5"), "--steps", "0", fails=True)


check_zyr_written()
check_through_gadget4_and_yt()
check_gadget4()
check_swift()
check_two_parts()
print("h5py agrees with zyr-sim")
