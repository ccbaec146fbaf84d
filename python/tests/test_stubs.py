import ast
from pathlib import Path

import pytest

import tessary
from tessary import _tessary, coordination

STUBS = Path(tessary.__file__).parent


def stub_names(file_name):
    """Top-level names of a stub file, and the members of each class in it."""
    tree = ast.parse((STUBS / file_name).read_text())
    names, members = set(), {}
    for node in tree.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names.add(node.name)
        if isinstance(node, ast.ClassDef):
            members[node.name] = {
                n.name if isinstance(n, ast.FunctionDef) else n.target.id
                for n in node.body
                if isinstance(n, ast.FunctionDef) or (isinstance(n, ast.AnnAssign) and isinstance(n.target, ast.Name))
            }
    return names, members


def public(obj):
    return {n for n in dir(obj) if not n.startswith("_")}


@pytest.mark.parametrize("module, file_name", [(_tessary, "__init__.pyi"), (coordination, "coordination.pyi")])
def test_stubs_cover_the_module(module, file_name):
    names, members = stub_names(file_name)
    for name in public(module) - {"coordination"}:
        assert name in names, f"{name} missing from {file_name}"
        value = getattr(module, name)
        if isinstance(value, type) and name != "ArchiveError":
            missing = public(value) - members[name]
            assert not missing, f"{name} members missing from {file_name}: {missing}"
