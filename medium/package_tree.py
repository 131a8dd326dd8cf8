#!/usr/bin/python3
"""Usage: package_tree.py PACKAGE MEDIUM

What of a driver package goes on the medium, and where: the four driver folders, found in any
case as Windows finds them and kept as the package spells them, with every file below them. A
link inside the package goes on the medium as the file or folder it points to; a link leading
out of the package goes nowhere and is named. Run as a program, copies those files into the
folder MEDIUM."""
import os
import shutil
import sys

FOLDERS = ("Win2000_WinXP", "WinXP_64", "Vista_32", "Vista_64")


class Entry:
    """A file or folder on the medium: its path there ('/' between parts) and in the package."""

    def __init__(self, medium, path, folder):
        self.medium, self.path, self.folder = medium, path, folder


def find_file(folder, name):
    """The entry of `folder` called `name` in any case, as Windows would find it; None if absent."""
    try:
        entries = sorted(os.listdir(folder))
    except OSError:
        return None
    for entry in entries:
        if entry.lower() == name.lower():
            return os.path.join(folder, entry)
    return None


def find_path(folder, relative, boundary):
    """Follows a relative path ('/' between parts) below `folder`, each part in any case and
    '..' going up, as the setup library does. None when something on the way is missing;
    raises ValueError when the path leads out of `boundary`."""
    path = folder
    for part in relative.split("/"):
        if part in ("", "."):
            continue
        if part == "..":
            path = os.path.dirname(path)
            if not is_inside(path, boundary):
                raise ValueError(relative)
            continue
        path = find_file(path, part)
        if path is None:
            return None
    return path


def is_inside(path, folder):
    path, folder = os.path.abspath(path), os.path.abspath(folder)
    return path == folder or path.startswith(folder.rstrip("/") + "/")


def driver_folders(package):
    """Each of the four folders' name to its path in the package, None when it has none."""
    driver = find_file(package, "Driver")
    return {name: find_file(driver, name) if driver else None for name in FOLDERS}


def medium_entries(package):
    """([Entry], [(path, problem)]): everything below the four folders that goes on the medium,
    and what cannot go there."""
    entries, problems = [], []
    real_package = os.path.realpath(package)
    for name, path in driver_folders(package).items():
        if path is not None and link_problem(path, real_package, problems) is None:
            medium = os.path.relpath(path, package).replace(os.sep, "/")
            entries.append(Entry(medium, path, True))
            walk(path, medium, real_package, {os.path.realpath(path)}, entries, problems)
    return entries, problems


def link_problem(path, real_package, problems):
    """Records and returns what is wrong with `path` if it is a link: leading outside the
    package, or to nothing. None for a good link and for anything else."""
    if not os.path.islink(path):
        return None
    target = os.path.realpath(path)
    if not is_inside(target, real_package):
        problem = (f"a link to {target}, outside the package: what it points to would go on "
                   "the medium")
    elif not os.path.exists(target):
        problem = "a link to nothing"
    else:
        return None
    problems.append((path, problem))
    return problem


def walk(folder, medium, real_package, ancestors, entries, problems):
    try:
        names = sorted(os.listdir(folder))
    except OSError as error:
        problems.append((folder, f"cannot be read: {error.strerror}"))
        return
    for name in names:
        path, inner = os.path.join(folder, name), f"{medium}/{name}"
        if link_problem(path, real_package, problems) is not None:
            continue
        if os.path.isdir(path):
            real = os.path.realpath(path)
            if real in ancestors:
                problems.append((path, "a link to a folder that holds it: the medium would "
                                       "have no end"))
                continue
            entries.append(Entry(inner, path, True))
            walk(path, inner, real_package, ancestors | {real}, entries, problems)
        elif os.path.isfile(path):
            entries.append(Entry(inner, path, False))
        else:
            problems.append((path, "not a file or folder (a device, pipe or socket)"))


def copy_to(package, medium):
    entries, _ = medium_entries(package)
    for entry in entries:
        target = os.path.join(medium, entry.medium)
        if entry.folder:
            os.makedirs(target, exist_ok=True)
        else:
            shutil.copyfile(entry.path, target)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    copy_to(*sys.argv[1:])
