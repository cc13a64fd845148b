#!/usr/bin/python3
"""check_workflows.py SOURCE-DIR [MATLAB-FILE ...]

The hosted CI workflows cannot run on these machines, so what can be known
about them here is checked here:
  - every file in .github/workflows parses as YAML, with triggers and jobs;
  - every action a step uses is one of ACTIONS below, with only the inputs
    named there and the ones it requires;
  - every job a job needs exists, and every artifact a job downloads is
    uploaded by a job it needs;
  - every command a job runs exists in the repository: the paths a shell step
    names, and the functions a MATLAB or Octave command calls (found in the
    folders it adds to the path, or at the top), unless the host has them;
  - the files written in the MATLAB language that MATLAB runs (those in the
    folders a MATLAB command adds to the path, those it calls, and the
    MATLAB-FILEs given, the shipped ones) use no syntax of Octave's alone.
Each fault is printed; the exit status is 1 if there was any. First, the
checker is tried on faulty workflows and files, each of which it must refuse.
"""
import glob
import os
import re
import shlex
import sys

import yaml

# The actions the workflows may use, and which of each action's documented
# inputs they may give (True: one the action requires).
ACTIONS = {
    'actions/checkout@v4': {},
    'actions/upload-artifact@v4': {'name': False, 'path': True},
    'actions/download-artifact@v4': {'name': False, 'path': False},
    'matlab-actions/setup-matlab@v2': {
        'release': False, 'products': False, 'cache': False, 'install-system-dependencies': False},
    'matlab-actions/run-command@v2': {'command': True, 'startup-options': False},
}

# Functions of MATLAB and Octave themselves that a command may call.
HOST_FUNCTIONS = {
    'addpath', 'assert', 'dir', 'exit', 'fullfile', 'mex', 'mexext', 'numel', 'tempname', 'unzip',
}

# What Octave takes and MATLAB refuses, outside strings and comments.
OCTAVE_ONLY = [
    (re.compile(r'#'), "'#' (comments start with %)"),
    (re.compile(r'!'), "'!' (not is ~)"),
    (re.compile(r'\+\+|--|[-+*/]='), "'++', '--' or an assignment operator"),
    (re.compile(r'\b(endfunction|endif|endfor|endwhile|endswitch|end_try_catch|'
                r'unwind_protect|end_unwind_protect)\b'), "an Octave end keyword (use end)"),
    (re.compile(r'\b(printf|puts|fputs|fdisp)\s*\('), "an Octave output function (use fprintf)"),
]


def code_of(text):
    """The MATLAB-language text with comments and string contents removed,
    line by line. A quote after a name, a closing bracket, a dot or another
    quote is a transpose; elsewhere it opens a string."""
    lines = []
    in_block = False
    for line in text.split('\n'):
        if line.strip() == '%{':
            in_block = True
        if in_block:
            in_block = line.strip() != '%}'
            lines.append('')
            continue
        code, i = [], 0
        while i < len(line):
            c = line[i]
            if c == '%' or line.startswith('...', i):
                break
            if c == '"' or (c == "'" and not (code and re.match(r"[\w)\]}.']", code[-1]))):
                end = i + 1
                while end < len(line):
                    if line[end] == c and line[end + 1:end + 2] == c:
                        end += 2
                    elif line[end] == c:
                        break
                    else:
                        end += 1
                code.append(c + c)
                i = end + 1
                continue
            code.append(c)
            i += 1
        lines.append(''.join(code))
    return lines


def lint_matlab(path):
    faults = []
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(code_of(f.read()), 1):
            for pattern, what in OCTAVE_ONLY:
                if pattern.search(line):
                    faults.append(f'{path}:{number}: {what}: {line.strip()}')
    return faults


def statements_of(code):
    """The statements of code whose strings are emptied: split at ; and , and
    line ends outside brackets."""
    statements, depth, start = [], 0, 0
    for i, c in enumerate(code + ';'):
        if c in '([{':
            depth += 1
        elif c in ')]}':
            depth -= 1
        elif c in ';,\n' and depth == 0:
            statements.append(code[start:i].strip())
            start = i + 1
    return [s for s in statements if s]


def strings_of(code):
    return re.findall(r"'((?:[^']|'')*)'", code)


class Checker:
    def __init__(self, root):
        self.root = root
        ignored = {'.git'}
        gitignore = os.path.join(root, '.gitignore')
        if os.path.exists(gitignore):
            with open(gitignore) as f:
                ignored |= {line.strip().strip('/') for line in f if line.strip()}
        self.top = set(os.listdir(root)) - ignored
        self.faults = []
        self.matlab_files = set()

    def fault(self, where, text):
        self.faults.append(f'{where}: {text}')

    def in_repository(self, word):
        """Whether a word names something in the sources (its first part is a
        file or folder at the top, not a build output); then it must exist."""
        parts = [part for part in word.split('/') if part not in ('', '.')]
        return bool(parts) and parts[0] in self.top

    def exists(self, word):
        return bool(glob.glob(os.path.join(self.root, word)))

    def check_paths(self, where, words):
        for word in words:
            if self.in_repository(word) and not self.exists(word):
                self.fault(where, f'{word} is not in the repository')

    def check_matlab_command(self, where, command, in_matlab):
        """A command in the MATLAB language: the paths it names exist, and every
        function it calls is the host's, a variable it set, or a file in the
        folders it adds to the path or at the top."""
        strings = strings_of(command)
        self.check_paths(where, [s for s in strings if ' ' not in s and '*' not in s])
        folders = ['']
        for call in re.finditer(r'\baddpath\s*\(([^)]*)\)', command):
            folders += strings_of(call.group(1))
        code = re.sub(r"'(?:[^']|'')*'", "''", command)
        variables = set(re.findall(r'\b([A-Za-z]\w*)\s*=(?!=)', code))
        called = set(re.findall(r'(?<![.\w])([A-Za-z]\w*)\s*[({]', code))
        # Command syntax: a statement that is a name and then a word, not "=".
        for statement in statements_of(code):
            command_form = re.match(r'([A-Za-z]\w*)\s+[^\s=(]', statement)
            if command_form:
                called.add(command_form.group(1))
        for name in sorted(called - variables - HOST_FUNCTIONS):
            files = [os.path.join(self.root, folder, name + '.m') for folder in folders]
            found = [f for f in files if os.path.exists(f)]
            if not found:
                self.fault(where, f'{name} is neither a file of the repository nor a function of the host')
            elif in_matlab:
                self.matlab_files.add(found[0])
        if in_matlab:
            for folder in folders[1:]:
                self.matlab_files.update(glob.glob(os.path.join(self.root, folder, '*.m')))

    def check_shell(self, where, script):
        words = [w for w in re.split(r'''[\s"'()$;|&<>=`]+''', script) if w]
        self.check_paths(where, words)
        # Octave's --eval argument is a command in the MATLAB language.
        for line in script.split('\n'):
            try:
                argv = shlex.split(line)
            except ValueError:
                continue
            for i, arg in enumerate(argv[:-1]):
                if arg == '--eval' and argv[0].startswith('octave'):
                    self.check_matlab_command(where, argv[i + 1], in_matlab=False)

    def check_step(self, where, step, uploads):
        if 'uses' in step:
            action = step['uses']
            inputs = step.get('with') or {}
            if action not in ACTIONS:
                self.fault(where, f'{action} is not an action these workflows may use')
                return
            for name in inputs:
                if name not in ACTIONS[action]:
                    self.fault(where, f'{action} takes no input {name}')
            for name, required in ACTIONS[action].items():
                if required and name not in inputs:
                    self.fault(where, f'{action} needs the input {name}')
            if action.startswith('matlab-actions/run-command@') and 'command' in inputs:
                self.check_matlab_command(where, str(inputs['command']), in_matlab=True)
            if action.startswith('actions/upload-artifact@'):
                uploads.add(inputs.get('name', 'artifact'))
        elif 'run' in step:
            self.check_shell(where, str(step['run']))
        else:
            self.fault(where, 'a step that neither uses an action nor runs a command')

    def check_workflow(self, name, text):
        try:
            workflow = yaml.safe_load(text)
        except yaml.YAMLError as e:
            self.fault(name, f'not YAML: {e}')
            return
        # YAML 1.1 reads the key "on" as true.
        if not isinstance(workflow, dict) or not (workflow.get('on') or workflow.get(True)):
            self.fault(name, 'no triggers (on:)')
            return
        jobs = workflow.get('jobs')
        if not isinstance(jobs, dict) or not jobs:
            self.fault(name, 'no jobs')
            return
        uploads = {}
        needs = {}
        for job_name, job in jobs.items():
            need = job.get('needs', [])
            needs[job_name] = [need] if isinstance(need, str) else list(need)
            for other in needs[job_name]:
                if other not in jobs:
                    self.fault(f'{name}: {job_name}', f'needs {other}, which is no job')
            uploads[job_name] = set()
            if 'runs-on' not in job:
                self.fault(f'{name}: {job_name}', 'no runs-on')
            steps = job.get('steps')
            if not steps:
                self.fault(f'{name}: {job_name}', 'no steps')
                continue
            for i, step in enumerate(steps, 1):
                where = f"{name}: {job_name}, step {i} ({step.get('name') or step.get('uses') or 'run'})"
                self.check_step(where, step, uploads[job_name])

        def before(job_name, seen):
            for other in needs.get(job_name, []):
                if other not in seen:
                    seen.add(other)
                    before(other, seen)
            return seen
        for job_name, job in jobs.items():
            available = set().union(*(uploads.get(j, set()) for j in before(job_name, set())))
            for step in job.get('steps') or []:
                if str(step.get('uses', '')).startswith('actions/download-artifact@'):
                    artifact = (step.get('with') or {}).get('name')
                    if artifact is not None and artifact not in available:
                        self.fault(f'{name}: {job_name}',
                                   f'downloads {artifact}, which no job it needs uploads')

    def run(self, shipped):
        folder = os.path.join(self.root, '.github', 'workflows')
        files = sorted(glob.glob(os.path.join(folder, '*.yml')) + glob.glob(os.path.join(folder, '*.yaml')))
        if not files:
            self.fault(folder, 'no workflows')
        for path in files:
            with open(path, encoding='utf-8') as f:
                self.check_workflow(os.path.relpath(path, self.root), f.read())
        for path in sorted(self.matlab_files | set(shipped)):
            for text in lint_matlab(path):
                self.faults.append(text)
        return self.faults


def self_test(root):
    """Faulty workflows, each changed from a sound one in one way, and faulty
    MATLAB-language lines: the checker must refuse every one."""
    import tempfile
    sound = {
        'on': {'push': None},
        'jobs': {
            'build': {'runs-on': 'ubuntu-latest', 'steps': [
                {'uses': 'actions/checkout@v4'},
                {'run': 'bash .ci/run'},
                {'uses': 'actions/upload-artifact@v4', 'with': {'name': 'release', 'path': 'dist/release/'}}]},
            'matlab': {'runs-on': 'ubuntu-latest', 'needs': 'build', 'steps': [
                {'uses': 'actions/download-artifact@v4', 'with': {'name': 'release', 'path': 'dist/release'}},
                {'uses': 'matlab-actions/setup-matlab@v2', 'with': {'release': 'R2024b'}},
                {'uses': 'matlab-actions/run-command@v2', 'with': {
                    'command': "out = tempname(); build_mex(out); addpath('tests/suite'); run_suite(out);"}}]},
        },
    }

    def changed(path, value):
        workflow = yaml.safe_load(yaml.safe_dump(sound))
        *parents, last = path
        node = workflow
        for key in parents:
            node = node[key]
        if value is None:
            del node[last]
        else:
            node[last] = value
        return yaml.safe_dump(workflow)

    build, matlab = ['jobs', 'build', 'steps'], ['jobs', 'matlab', 'steps']
    faulty = [
        ('not YAML', 'on: [push\njobs: {'),
        ('no triggers', changed(['on'], None)),
        ('an action not allowed', changed(build + [0, 'uses'], 'actions/checkout@v3')),
        ('an input the action lacks', changed(matlab + [1, 'with', 'version'], 'R2024b')),
        ('a required input missing', changed(matlab + [2, 'with'], {'startup-options': '-nojvm'})),
        ('a script not in the repository', changed(build + [1, 'run'], 'bash .ci/run-all')),
        ('a job without runs-on', changed(['jobs', 'build', 'runs-on'], None)),
        ('needs a job that is not there', changed(['jobs', 'matlab', 'needs'], 'debian')),
        ('downloads without needing the uploader', changed(['jobs', 'matlab', 'needs'], None)),
        ('downloads an artifact never uploaded', changed(matlab + [0, 'with', 'name'], 'dist')),
        ('a MATLAB function not in the repository', changed(matlab + [2, 'with', 'command'],
                                                             "addpath('tests/suite'); run_suites('x');")),
        ('a folder not in the repository', changed(matlab + [2, 'with', 'command'],
                                                   "addpath('tests/suites'); run_suite('x');")),
        ('an Octave command calling a missing function', changed(build + [1, 'run'],
                                                                  'octave-cli --eval "test_packages(1)"')),
    ]
    lines = ['x = 1; # comment', 'if !x', 'x += 1;', 'endfunction', "printf('%d', x);", 'x++;']
    clean = ["s = 'a # b ! c += printf(';", "y = x'; % # comment !", "z = [x' y'];", 'disp("!#");',
             'if x ~= 1  ...  # continued', 'end']
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        for name, text in faulty:
            checker = Checker(root)
            checker.check_workflow(name, text)
            if not checker.faults:
                print(f'self-test: the checker accepted a workflow with {name}')
                failures += 1
        checker = Checker(root)
        checker.check_workflow('sound', yaml.safe_dump(sound))
        for text in checker.faults:
            print(f'self-test: the sound workflow was refused: {text}')
            failures += 1
        for i, line in enumerate(lines + clean):
            path = os.path.join(work, f'f{i}.m')
            with open(path, 'w') as f:
                f.write(line + '\n')
            if bool(lint_matlab(path)) != (line in lines):
                print(f'self-test: the MATLAB check got [{line}] wrong')
                failures += 1
    print(f'self-test: {len(faulty) + 1 + len(lines) + len(clean) - failures} passed, {failures} failed')
    return failures


def main():
    root = os.path.abspath(sys.argv[1])
    if self_test(root):
        return 1
    faults = Checker(root).run(sys.argv[2:])
    for text in faults:
        print(text)
    print(f'workflows: {len(faults)} faults')
    return 1 if faults else 0


if __name__ == '__main__':
    sys.exit(main())
