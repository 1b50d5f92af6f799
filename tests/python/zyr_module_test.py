"""The Python module zyr against zyr-sim, run by pytest through CTest.

CTest sets PYTHONPATH to the built module and ZYR_SIM to the zyr-sim beside it.
"""
import os
import subprocess
import sys
import threading

import numpy as np
import pytest

import zyr

ZYR_SIM = os.environ["ZYR_SIM"]
DATA = os.path.join(os.path.dirname(__file__), "..", "..", "data")
DISC = dict(shape="disc", stars=300, seed=5, central_mass=20000.0, rotation=0.5)


def run_sim(settings, *args):
    """zyr-sim with the options that the keywords name."""
    options = [text for key, value in settings.items() for text in ("--" + key.replace("_", "-"), str(value))]
    subprocess.run([ZYR_SIM, "--quiet", *options, *args], check=True)


@pytest.mark.parametrize("integrator", zyr.integrators)
@pytest.mark.parametrize("force", zyr.force_methods)
def test_step_gives_zyr_sims_bits(tmp_path, integrator, force):
    # Adams-Moulton gets past its four starting steps; the leapfrog carries its
    # closing kick from one call to the next.
    settings = dict(DISC, integrator=integrator, force=force, shield=3)
    run_sim(settings, "--steps", "7", "--state", str(tmp_path / "state.csv"))
    expected = np.loadtxt(tmp_path / "state.csv", delimiter=",", skiprows=1)
    g = zyr.Galaxy(**settings)
    g.step(3)
    g.step(4)
    assert g.iteration == 7 and g.time == 7 * 8.0
    np.testing.assert_array_equal(g.masses, expected[:, 1])
    np.testing.assert_array_equal(g.positions, expected[:, 2:5])
    np.testing.assert_array_equal(g.velocities, expected[:, 5:8])
    np.testing.assert_array_equal(g.colors, expected[:, 8])


def test_render_gives_zyr_sims_picture_and_keeps_no_view(tmp_path):
    from PIL import Image  # python3-matplotlib brings it

    view = dict(tilt=30, turn=10, zoom=1.5, colouring="redshift", star_size=2)
    run_sim(dict(DISC, **view), "--steps", "3", "--png", str(tmp_path / "galaxy.png"), "--size", "120x80", "--no-box")
    g = zyr.Galaxy(**DISC)
    g.step(3)
    view.update(size=(120, 80), box=False)
    first = g.render(**view)
    assert first.shape == (80, 120, 3) and first.dtype == np.uint8
    np.testing.assert_array_equal(first, np.asarray(Image.open(tmp_path / "galaxy.png").convert("RGB")))
    np.testing.assert_array_equal(g.render(**view), first)  # the turns did not add up


def test_a_snapshot_goes_on_to_the_bit_and_keeps_its_settings_through_an_add(tmp_path):
    g = zyr.Galaxy(**DISC, integrator="leapfrog", force="barnes-hut", dt=4.0, shield=2)
    g.step(2)
    g.save(tmp_path / "g.hdf5")
    h = zyr.Galaxy.load(tmp_path / "g.hdf5", shield=2, opening_angle=0.5)  # the rest from the file
    g.opening_angle = 0.5  # the two take the same steps from here on
    g.step(3)
    h.step(3)
    np.testing.assert_array_equal(h.positions, g.positions)
    np.testing.assert_array_equal(h.velocities, g.velocities)
    assert h.time == g.time
    h.add(zyr.Galaxy.load(os.path.join(DATA, "two-star-orbit.zyr")), offset=(5, 0, 0))
    assert (len(h), h.integrator, h.force, h.dt, h.shield, h.opening_angle) == (
        302, "leapfrog", "barnes-hut", 4.0, 2.0, 0.5)


@pytest.mark.parametrize("made, loaded", [
    (dict(DISC, force="barnes-hut"), None),
    (dict(DISC, dark_matter="sphere", integrator="leapfrog"), dict(dark_matter="none")),  # the caller's halo wins
    (DISC, dict(dark_matter="sphere", dark_radius=2.0, force="particle-mesh", dt=4.0)),
    (dict(shape="plummer", stars=100, seed=2, total_mass=1e10, scale_radius=5.0, dt=0.5), None),
])
def test_the_same_keywords_give_zyr_sims_report(tmp_path, made, loaded):
    """zyr-sim and the module take the keywords alike, those given beside a load included."""
    csv = tmp_path / "series.csv"
    if loaded is None:
        run_sim(made, "--steps", "5", "--csv", str(csv))
        g = zyr.Galaxy(**made)
    else:
        run_sim(made, "--steps", "0", "--save", str(tmp_path / "made.hdf5"))
        run_sim(loaded, "--load", str(tmp_path / "made.hdf5"), "--steps", "5", "--csv", str(csv))
        g = zyr.Galaxy.load(tmp_path / "made.hdf5", **loaded)
    g.step(5)
    r = g.report()
    with open(csv) as f:
        row = dict(zip(f.readline().strip().split(","), f.readlines()[-1].strip().split(",")))
    assert [float(row[k]) for k in ("time", "kinetic", "potential", "total")] == [r.time, r.kinetic, r.potential,
                                                                                     r.total]
    assert [float(row["momentum_" + a]) for a in "xyz"] == list(r.momentum)
    assert [float(row["center_" + a]) for a in "xyz"] == list(r.centre)
    assert row["potential_from"] == r.potential_from


def test_a_model_says_what_it_chose_and_a_given_time_step_wins():
    g = zyr.Galaxy(shape="disc-galaxy", stars=40, seed=1, constant_q=True, halo="none", dt=0.5)
    assert (len(g), g.dt) == (40 + 10, 0.5)  # a quarter of the disc's stars in the bulge
    assert g.model_note.endswith("; given instead: time step 0.5 Myr")
    assert zyr.Galaxy(stars=8).model_note == ""


def test_writes_through_the_views_are_stepped_from():
    g = zyr.Galaxy(**DISC, integrator="leapfrog")
    g.step(2)
    positions, velocities = g.positions, g.velocities
    assert positions.shape == (300, 3) and np.shares_memory(positions, g.positions)
    positions[7] += (0.5, -0.25, 0.125)
    velocities[3, 1] = 0.01
    moved = zyr.Galaxy.from_arrays(positions.copy(), velocities.copy(), g.masses.copy(), g.colors.copy())
    moved.integrator = "leapfrog"
    g.step(3)
    moved.step(3)
    np.testing.assert_array_equal(g.positions, moved.positions)
    np.testing.assert_array_equal(g.velocities, moved.velocities)


def test_views_outlive_a_replacement_and_the_galaxy():
    g = zyr.Galaxy(**DISC)
    before = g.positions
    kept = before.copy()
    g.add(zyr.Galaxy.load(os.path.join(DATA, "two-star-orbit.zyr")), offset=(5, 1, 0), velocity=(-0.003, 0, 0))
    assert len(g) == 302 and g.positions.shape == (302, 3)
    np.testing.assert_array_equal(g.positions[:300], kept)
    np.testing.assert_array_equal(g.positions[300], (25, 1, 0))
    del g
    np.testing.assert_array_equal(before, kept)  # the old arrays are still alive


def galaxies_side_by_side():
    """Galaxies stepped in threads of their own end as they do one at a time,
    two of them on grids; run in a child process, so that a crash fails."""
    def make(integrator, force):
        return zyr.Galaxy(**DISC, integrator=integrator, force=force)

    settings = [("leapfrog", "barnes-hut"), ("adams-moulton", "particle-mesh"), ("leapfrog", "particle-mesh")]
    alone = [make(*s) for s in settings]
    for g in alone:
        g.step(40)
    side_by_side = [make(*s) for s in settings]
    threads = [threading.Thread(target=g.step, args=(40,)) for g in side_by_side]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for a, b in zip(alone, side_by_side):
        np.testing.assert_array_equal(a.positions, b.positions)
        np.testing.assert_array_equal(a.velocities, b.velocities)
    assert [g.integrator for g in side_by_side] == ["leapfrog", "adams-moulton", "leapfrog"]


def test_galaxies_share_nothing_also_from_threads():
    child = subprocess.run([sys.executable, __file__, "side-by-side"], capture_output=True, text=True)
    assert child.returncode == 0, child.stderr


def galaxy():
    return zyr.Galaxy(stars=8, seed=1)


def far():
    return zyr.Galaxy.from_arrays(np.full((1, 3), 1e308), np.zeros((1, 3)), np.ones(1))


BAD = [
    (lambda: zyr.Galaxy(shape="blob"), ValueError, "shape='blob': not one of sphere|disc|cube"),
    (lambda: zyr.Galaxy(stars="10"), TypeError, "stars must be a number"),
    (lambda: zyr.Galaxy(stars=0), ValueError, "stars=0: must be at least 1"),
    (lambda: zyr.Galaxy(dark_fraction=1.0), ValueError, "dark_fraction=1.0"),
    (lambda: zyr.Galaxy(stars=2**31 - 1), MemoryError, "does not fit into memory"),
    (lambda: setattr(galaxy(), "integrator", "verlet"), ValueError, "euler|improved-euler|rk4"),
    (lambda: setattr(galaxy(), "force", 1), TypeError, "force must be one of direct|barnes-hut|particle-mesh"),
    (lambda: setattr(galaxy(), "dt", 0), ValueError, "dt=0: must not be 0"),
    (lambda: setattr(galaxy(), "shield", float("nan")), ValueError, "shield=nan: not a finite number"),
    (lambda: setattr(galaxy(), "softening", "gauss"), ValueError, "softening='gauss': not one of shield|plummer|spline"),
    (lambda: zyr.Galaxy(epsilon=0), ValueError, "epsilon=0: must be greater than 0"),
    (lambda: zyr.Galaxy(shape="disc-galaxy", toomre_q=0), ValueError, "toomre_q=0: must be greater than 0"),
    (lambda: zyr.Galaxy(toomre_q=1.0), ValueError, "toomre_q: only with shape=disc-galaxy"),
    (lambda: zyr.Galaxy(shape="disc-galaxy", halo_mass=0), ValueError, "Halo mass must be greater than 0"),
    (lambda: zyr.Galaxy(shape="plummer", constant_q=1), TypeError, "constant_q must be True or False"),
    (lambda: setattr(galaxy(), "force_error", -1e-3), ValueError, "force_error=-0.001: must not be negative"),
    (lambda: galaxy().step(-1), ValueError, "n=-1"),
    (lambda: galaxy().step(1.5), TypeError, "n must be a whole number"),
    (lambda: zyr.Galaxy.load("missing.zyr"), OSError, "cannot open missing.zyr"),
    (lambda: zyr.Galaxy.load(DATA), OSError, "."),
    (lambda: galaxy().save("/nonexistent/x.zyr"), OSError, "/nonexistent/x.zyr"),
    (lambda: galaxy().save("x.txt"), OSError, "x.txt"),
    (lambda: zyr.Galaxy.from_arrays(np.zeros((4, 2)), np.zeros((4, 3)), np.ones(4)), ValueError,
     "positions must have the shape (N, 3), not (4, 2)"),
    (lambda: zyr.Galaxy.from_arrays(np.zeros((4, 3)), np.full((4, 3), np.nan), np.ones(4)), ValueError,
     "velocities must be finite"),
    (lambda: zyr.Galaxy.from_arrays(np.zeros((4, 3)), np.zeros((4, 3)), np.ones(4), colors=[0, 1, 2, 9]),
     ValueError, "colors: element 3"),
    (lambda: galaxy().render(size=(0, 10)), ValueError, "size=(0, 10)"),
    (lambda: galaxy().render(colouring="rainbow"), ValueError, "own|redshift|chromadepth"),
    (lambda: galaxy().render(box="yes"), TypeError, "box must be True or False"),
    (lambda: galaxy().add(galaxy(), offset=(1, 2)), ValueError, "offset must be three finite numbers"),
    (lambda: galaxy().add(far(), offset=(1e308, 0, 0)), ValueError, "beyond the range"),
]


@pytest.mark.parametrize("call, error, message", BAD)
def test_bad_arguments_raise_naming_what_is_wrong(call, error, message):
    with pytest.raises(error) as raised:
        call()
    assert message in str(raised.value)


def test_a_failed_add_leaves_the_galaxy_as_it_was():
    g = galaxy()
    g.step(1)
    before = g.positions.copy()
    with pytest.raises(OSError):
        g.add("missing.zyr")
    with pytest.raises(ValueError):
        g.add(far(), offset=(1e308, 0, 0))
    np.testing.assert_array_equal(g.positions, before)
    assert len(g) == 8 and g.time == 8.0


@pytest.mark.parametrize("force", ["direct", "barnes-hut", "particle-mesh"])
def test_accelerations_and_potentials_are_those_of_the_softened_pull(force):
    # Two stars: every force method pulls them exactly, here by Plummer's law.
    eps, m = 0.3, np.array([1.0, 3.0])
    g = zyr.Galaxy.from_arrays(np.array([[-0.5, 0.2, 0.0], [0.5, -0.2, 0.1]]), np.zeros((2, 3)), m)
    g.force, g.softening, g.epsilon = force, "plummer", eps
    d = g.positions[1] - g.positions[0]
    s = np.sqrt(d @ d + eps**2)
    G = -g.report().potential * s / (m[0] * m[1])  # the report's energy, -G m1 m2 / s
    np.testing.assert_allclose(g.accelerations, [G * m[1] * d / s**3, -G * m[0] * d / s**3], rtol=1e-12)
    np.testing.assert_allclose(g.potentials, [-G * m[1] / s, -G * m[0] / s], rtol=1e-12)


if __name__ == "__main__" and sys.argv[1:] == ["side-by-side"]:
    galaxies_side_by_side()
