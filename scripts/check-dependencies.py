#!/usr/bin/env python3
"""Checks every #include of the project's sources against dependencies.json.

Usage: check-dependencies.py [ROOT]   (default: the checkout this script lies in)

dependencies.json lists the libraries: each lives in a folder and holds the sources of
that folder (not those of a deeper folder that is another library's) that its "files"
patterns match; a library without patterns holds the folder's sources no other library
of the folder claims. A source may include the headers of its own library and of the
libraries its library builds on ("uses"), directly or through them. The folders listed
under "top" (tests, benchmarks, fuzz targets) may include every header of the project;
those under "support" (build helpers) nothing outside their own folder. Every other
source belongs to a library.

Besides the includes, the floors themselves are checked: every library a library uses
is listed, no chain of uses runs back to where it started (an arrow back up), and no
library builds on one whose folder holds its own (a folder does not include its parent).

Every quoted include names a file from the checkout's root. Prints one line per fault
and exits 1 when there is any.
"""

import fnmatch
import json
import os
import re
import sys

SOURCE_SUFFIXES = ('.h', '.cpp', '.c')
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)


def project_sources(root):
    for directory, subdirectories, files in os.walk(root):
        relative = os.path.relpath(directory, root)
        relative = '' if relative == '.' else relative
        subdirectories[:] = sorted(d for d in subdirectories
                                   if not d.startswith('.') and not (relative == '' and d == 'build'))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(relative, name).replace(os.sep, '/')


def inside(path, folder):
    return path == folder or path.startswith(folder + '/')


class Floors:
    def __init__(self, document, problems):
        self.libraries = document['libraries']
        self.top = document.get('top', [])
        self.support = document.get('support', [])
        self.problems = problems
        self.folders = {library['folder'] for library in self.libraries.values()}
        self.reach = {name: self.closure(name) for name in self.libraries}

    def closure(self, start):
        reached, stack = set(), [start]
        while stack:
            name = stack.pop()
            for used in self.libraries.get(name, {}).get('uses', []):
                if used not in self.libraries:
                    self.problems.append(f'dependencies.json: {name} uses {used}, which is no library')
                elif used == start:
                    self.problems.append(f'dependencies.json: {start} builds on itself through {name}')
                elif used not in reached:
                    reached.add(used)
                    stack.append(used)
        return reached

    def check_parents(self):
        for name, library in self.libraries.items():
            for used in self.reach[name]:
                folder = self.libraries[used]['folder']
                if folder != library['folder'] and inside(library['folder'], folder):
                    self.problems.append(f'dependencies.json: {name} in {library["folder"]}/ builds on '
                                         f'{used} in its parent folder {folder}/')

    def owner(self, path):
        """The library a source belongs to, 'top' for the top floor, or None."""
        if any(inside(path, folder) for folder in self.top):
            return 'top'
        if any(inside(path, folder) for folder in self.support):
            return 'support'
        directory = os.path.dirname(path)
        while directory and directory not in self.folders:
            directory = os.path.dirname(directory)
        if not directory:
            return None
        name = os.path.basename(path)
        here = {n: lib for n, lib in self.libraries.items() if lib['folder'] == directory}
        for library_name, library in here.items():
            if any(fnmatch.fnmatch(name, pattern) for pattern in library.get('files', [])):
                return library_name
        rest = [n for n, lib in here.items() if not lib.get('files')]
        return rest[0] if len(rest) == 1 else None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), '..'))
    problems = []
    with open(os.path.join(root, 'dependencies.json'), encoding='utf-8') as text:
        floors = Floors(json.load(text), problems)
    floors.check_parents()

    sources = list(project_sources(root))
    owners = {path: floors.owner(path) for path in sources}
    for path in sources:
        owner = owners[path]
        if owner is None:
            problems.append(f'{path}: belongs to no library of dependencies.json')
            continue
        with open(os.path.join(root, path), encoding='utf-8', errors='replace') as text:
            targets = INCLUDE.findall(text.read())
        for target in targets:
            if target not in owners:
                problems.append(f'{path}: includes "{target}", which is no source of the project '
                                '(quoted includes name files from the root)')
                continue
            if owner == 'top':
                continue
            if owner == 'support':
                if os.path.dirname(target) != os.path.dirname(path):
                    problems.append(f'{path}: includes {target}, outside its own folder')
                continue
            target_owner = owners[target]
            if target_owner != owner and target_owner not in floors.reach[owner]:
                problems.append(f'{path}: includes {target} of {target_owner}, which {owner} '
                                'does not build on')

    for problem in sorted(set(problems)):
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
