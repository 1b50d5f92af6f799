"""The Python module's pace beside zyr-sim's, and the cost of a view.

Usage: PYTHONPATH=build/python /usr/bin/python3 bench/zyr_python_bench.py build/zyr-sim [REPEATS]

For each galaxy, g.step(n) against zyr-sim's own steps per second for the same
galaxy and steps (its report leaves out the generation and the reports); the
best of REPEATS (3) runs of each. Then the time to take g.positions (and its
sum of one column, which touches every star) for 512 and 1,000,000 stars.
"""
import subprocess
import sys
import time
import timeit

import numpy as np

import zyr

ZYR_SIM = sys.argv[1]
REPEATS = int(sys.argv[2]) if len(sys.argv) > 2 else 5

GALAXIES = [
    (dict(shape="sphere", stars=1024, seed=1), 200),
    (dict(shape="disc", stars=16384, seed=1, central_mass=100000.0, force="barnes-hut"), 30),
    (dict(shape="sphere", stars=16384, seed=1, force="particle-mesh", integrator="leapfrog"), 40),
    (dict(shape="disc", stars=256, seed=1, integrator="rk4"), 2000),
]


def sim_rate(settings, steps):
    args = [ZYR_SIM, "--steps", str(steps), "--csv", "-", "--quiet"]
    for key, value in settings.items():
        args += ["--" + key.replace("_", "-"), str(value)]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout.splitlines()
    header = out[0].split(",")
    return float(out[-1].split(",")[header.index("steps_per_second")])


def module_rate(settings, steps):
    g = zyr.Galaxy(**settings)
    g.report()  # as zyr-sim reports before its first step
    start = time.perf_counter()
    g.step(steps)
    return steps / (time.perf_counter() - start)


print(f"{'galaxy':<90} {'zyr-sim':>10} {'g.step':>10} {'ratio':>7}")
for settings, steps in GALAXIES:
    # Taken in turns, so that a busy moment of the machine meets both alike.
    rates = [(sim_rate(settings, steps), module_rate(settings, steps)) for _ in range(REPEATS)]
    sim, module = (max(column) for column in zip(*rates))
    label = ", ".join(f"{k}={v}" for k, v in settings.items()) + f"; {steps} steps"
    print(f"{label:<90} {sim:>10.1f} {module:>10.1f} {module / sim:>7.1%}", flush=True)

print()
print(f"{'stars':>9} {'g.positions':>14} {'g.positions[:, 0].sum()':>26}")
rng = np.random.default_rng(1)
for n in (512, 1_000_000):
    g = zyr.Galaxy.from_arrays(rng.normal(size=(n, 3)), np.zeros((n, 3)), np.ones(n))
    calls = 20000
    view = min(timeit.repeat(lambda: g.positions, number=calls, repeat=5)) / calls
    summed = min(timeit.repeat(lambda: g.positions[:, 0].sum(), number=20, repeat=3)) / 20
    print(f"{n:>9} {view * 1e6:>11.2f} us {summed * 1e6:>23.1f} us")
