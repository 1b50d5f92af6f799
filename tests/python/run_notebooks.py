"""Runs every notebook of the examples folder through nbclient, from that
folder, so that they never rot. Usage: run_notebooks.py EXAMPLES_DIR"""
import pathlib
import sys

import nbclient
import nbformat

examples = pathlib.Path(sys.argv[1])
notebooks = sorted(examples.glob("*.ipynb"))
assert notebooks, f"no notebooks in {examples}"
for path in notebooks:
    notebook = nbformat.read(path, as_version=4)
    nbclient.NotebookClient(notebook, timeout=600, resources={"metadata": {"path": str(examples)}}).execute()
    images = sum("image/png" in output.get("data", {}) for cell in notebook.cells for output in cell.get("outputs", []))
    assert images == 1, f"{path.name}: {images} figures instead of one"
    print(f"{path.name}: ran, one figure")
