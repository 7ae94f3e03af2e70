#!/usr/bin/env python3
"""Compiles every project source of a build once more, syntax only, and counts.

Usage: compile-syntax-only.py <source-root> <build-dir> <jobs>

Reads <build-dir>/compile_commands.json and runs each command of a file under
<source-root> (none generated inside <source-root>/build/), <jobs> at a time: a
clang-cl compile gets /Zs (nothing can be linked without MSVC's libraries, so nothing
is emitted either), any other command (the resource compiler) runs as it is. Prints
"<passed> <failed>" on standard output, and each failed source with its compiler's
output on standard error.
"""

import concurrent.futures
import json
import os
import shlex
import subprocess
import sys


def check(entry):
    command = shlex.split(entry['command'])
    if '--' in command:
        command.insert(command.index('--'), '/Zs')
    run = subprocess.run(command, cwd=entry['directory'], capture_output=True, text=True)
    return entry['file'], run.returncode == 0, run.stdout + run.stderr


def main():
    root, build, jobs = sys.argv[1], sys.argv[2], int(sys.argv[3])
    with open(os.path.join(build, 'compile_commands.json')) as commands:
        entries = [e for e in json.load(commands)
                   if e['file'].startswith(root + '/')
                   and not e['file'].startswith(root + '/build/')]
    passed = failed = 0
    with concurrent.futures.ThreadPoolExecutor(jobs) as pool:
        for source, ok, output in pool.map(check, entries):
            if ok:
                passed += 1
            else:
                failed += 1
                print('clang-cl: ' + os.path.relpath(source, root) + '\n' + output,
                      file=sys.stderr)
    print(passed, failed)


if __name__ == '__main__':
    main()
