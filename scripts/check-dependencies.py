#!/usr/bin/env python3
"""Checks every #include of the project's sources against the folders' READMEs.

Usage: check-dependencies.py [ROOT]   (default: the checkout this script lies in)

A folder is a directory whose README.md has a paragraph that starts "May depend on:";
it holds every source below it but those of a deeper folder. The paragraph names what
the folder's files may include besides the folder's own files, as backticked paths: a
folder (`messaging/`, and everything below it) or one file (`ptp/wide_text.h`). A line
of the paragraph that starts "- ", with the lines after it that start with a space,
gives some of the folder's files a list of their own in place of the folder's: the
backticked file patterns before its first colon (`wide_text*`, `method_call.h`) say
which files, the backticked paths after it what they may include. Other words, and
backticked names without a slash, are for people only. A source outside every folder
may include nothing outside its own directory.

Every quoted include names a file from the checkout's root. Includes are followed
through the headers they reach: a file may not reach, by any chain, a file its folder
may not include. Prints one line per fault and exits 1 when there is any.
"""

import fnmatch
import os
import re
import sys

SOURCE_SUFFIXES = ('.h', '.cpp', '.c')
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.MULTILINE)
TICKED = re.compile(r'`([^`]+)`')


class Folder:
    def __init__(self, path, readme):
        self.path = path  # relative to the root, '' for the root itself
        self.readme = readme
        self.allowed = []  # paths: 'x/' for a folder, 'x/y.h' for a file
        self.scoped = []  # (patterns, paths)

    def allowed_for(self, name):
        for patterns, paths in self.scoped:
            if any(fnmatch.fnmatch(name, pattern) for pattern in patterns):
                return paths
        return self.allowed


def read_rule(root, path, problems):
    readme = os.path.join(path, 'README.md')
    if not os.path.isfile(os.path.join(root, readme)):
        return None
    with open(os.path.join(root, readme), encoding='utf-8') as text:
        lines = text.read().splitlines()
    start = next((i for i, line in enumerate(lines) if line.startswith('May depend on:')), None)
    if start is None:
        return None
    folder = Folder(path, readme)
    end = start
    while end < len(lines) and lines[end].strip():
        end += 1
    bullets = []
    for line in lines[start:end]:
        if line.startswith('- '):
            bullets.append(line[2:])
        elif bullets and line.startswith(' '):
            bullets[-1] += line
        else:
            folder.allowed += [token for token in TICKED.findall(line) if '/' in token]
    for bullet in bullets:
        head, _, tail = bullet.partition(':')
        patterns = [token for token in TICKED.findall(head)
                    if '/' not in token and ('.' in token or '*' in token)]
        if not patterns:
            problems.append(f'{readme}: "- {bullet}" names no files of the folder before its colon')
        folder.scoped.append((patterns, [token for token in TICKED.findall(tail) if '/' in token]))
    for paths in [folder.allowed] + [paths for _, paths in folder.scoped]:
        for allowed in paths:
            if not os.path.exists(os.path.join(root, allowed)):
                problems.append(f'{readme}: `{allowed}` is no file or folder of the project')
    return folder


def project_sources(root):
    for directory, subdirectories, files in os.walk(root):
        relative = os.path.relpath(directory, root)
        relative = '' if relative == '.' else relative
        subdirectories[:] = sorted(d for d in subdirectories
                                   if not d.startswith('.') and not (relative == '' and d == 'build'))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(relative, name)


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), '..'))
    problems = []
    folders = {}  # directory -> Folder or None

    def rule_of(directory):
        if directory not in folders:
            folders[directory] = read_rule(root, directory, problems)
        return folders[directory]

    def folder_of(path):
        directory = os.path.dirname(path)
        while True:
            folder = rule_of(directory)
            if folder is not None or directory == '':
                return folder
            directory = os.path.dirname(directory)

    includes = {}

    def includes_of(path):
        if path not in includes:
            with open(os.path.join(root, path), encoding='utf-8', errors='replace') as text:
                includes[path] = INCLUDE.findall(text.read())
        return includes[path]

    sources = list(project_sources(root))
    for path in sources:
        folder = folder_of(path)
        if folder is None:
            own, allowed = os.path.dirname(path), []
            rule = 'its directory: no README above it says what it may depend on'
        else:
            own = folder.path
            allowed = folder.allowed_for(os.path.relpath(path, own) if own else path)
            rule = 'what ' + folder.readme + ' allows'

        def permitted(target):
            if folder_of(target) is folder and (folder is not None or
                                                os.path.dirname(target) == own):
                return True
            return any(target.startswith(entry) if entry.endswith('/') else target == entry
                       for entry in allowed)

        # Breadth first, so that a fault is reported through its shortest chain.
        through = {path: None}
        queue = [path]
        while queue:
            current = queue.pop(0)
            for target in includes_of(current):
                if target in through:
                    continue
                through[target] = current
                if not os.path.isfile(os.path.join(root, target)):
                    problems.append(f'{current}: includes "{target}", which is no file of the '
                                    'project (quoted includes name files from the root)')
                    continue
                if not permitted(target):
                    chain = []
                    step = current
                    while step != path:
                        chain.append(step)
                        step = through[step]
                    via = f' (through {" -> ".join(reversed(chain))})' if chain else ''
                    problems.append(f'{path}: includes {target}{via}, outside {rule}')
                    continue
                queue.append(target)

    for folder in filter(None, folders.values()):
        names = [os.path.relpath(path, folder.path) if folder.path else path
                 for path in sources if folder_of(path) is folder]
        for patterns, _ in folder.scoped:
            for pattern in patterns:
                if not fnmatch.filter(names, pattern):
                    problems.append(f'{folder.readme}: `{pattern}` matches none of its files')

    for problem in sorted(set(problems)):
        print(problem)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
