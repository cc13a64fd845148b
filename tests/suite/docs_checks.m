function [checks, setup] = docs_checks()
% docs_checks  The checks of what the README and docs/reference.md tell a
% user, as {name, check}, and a setup that finds them: the setup returns the
% root of the sources, which the suite lies in (tests/suite); where they are
% not there the checks are skipped.
  setup = @sources_root;
  checks = {
    'docs: each message and identifier in the tables is the one its calls raise',  @tables_match_calls
    'docs: each message and identifier the sources raise is in the reference',     @sources_in_reference
    'docs: the examples run as pasted',                                            @examples_run
  };
end

function root = sources_root(~)
  root = fullfile(fileparts(mfilename('fullpath')), '..', '..');
  if ~exist(fullfile(root, 'docs', 'reference.md'), 'file') || ~exist(fullfile(root, 'README.md'), 'file')
    root = '';
  end
end

function need_sources(root)
  if isempty(root)
    error('suite:skip', 'the README and docs/reference.md are not beside the suite');
  end
end

% Every row of a table in either file whose message is one fixed text: each
% call it names (`f(...)` or `[a, b] = f(...)`, for a function of the
% toolbox) must end in that message, with the row's identifier or none.
function tables_match_calls(~, root)
  need_sources(root);
  names = compiled_functions();
  wrong = {};
  for file = {'README.md', fullfile('docs', 'reference.md')}
    rows = table_rows(fullfile(root, file{1}));
    for i = 1:numel(rows)
      cells = rows{i};
      message = regexp(cells{2}, '^`([^`]*)`$', 'tokens', 'once');
      if isempty(message)
        continue;
      end
      identifier = '';
      if numel(cells) > 2
        identifier = regexprep(cells{3}, '^`(.*)`$', '$1');
      end
      calls = calls_in(cells{1}, names);
      if isempty(calls) && ~strncmp(cells{1}, 'Ctrl+C', 6)  % a key pressed: no call to make
        wrong{end + 1} = sprintf('%s: the row of [%s] names no call to check', file{1}, message{1}); %#ok<AGROW>
      end
      for k = 1:numel(calls)
        [got, got_id] = message_of_call(calls{k});
        if ~ends_with(got, message{1}) || ~strcmp(got_id, identifier)
          wrong{end + 1} = sprintf('%s: %s gave [%s] [%s], not [%s] [%s]', file{1}, calls{k}, got, got_id, ...
                                   message{1}, identifier); %#ok<AGROW>
        end
      end
    end
  end
  assert(isempty(wrong), '%s', strjoin(wrong, '; '));
end

% The other way round: every message a function's source raises (a string
% that begins with its name) and every identifier (NAME:word) is in the
% reference's tables, so that no message goes unlisted.
function sources_in_reference(~, root)
  need_sources(root);
  rows = table_rows(fullfile(root, 'docs', 'reference.md'));
  listed = '';
  for i = 1:numel(rows)
    listed = [listed sprintf('%s\n', rows{i}{:})]; %#ok<AGROW>
  end
  wrong = {};
  for name = compiled_functions()
    source = fileread(fullfile(root, name{1}, [name{1} '.cpp']));
    source = regexprep(source, '"\s*\n\s*"', '');  % adjacent literals are one string
    texts = regexp(source, ['"(' name{1} '[ :][^"]*)"'], 'tokens');
    for k = 1:numel(texts)
      if isempty(strfind(listed, ['`' texts{k}{1} '`']))
        wrong{end + 1} = sprintf('[%s] of %s.cpp', texts{k}{1}, name{1}); %#ok<AGROW>
      end
    end
  end
  assert(isempty(wrong), 'not in the reference''s tables: %s', strjoin(wrong, '; '));
end

% Each block of MATLAB code in the README and the reference, in order, each
% as a user pastes it: a block that defines a function is saved as that
% function's file first, as the text says to. A block that raises the
% priority where the system does not allow it is passed over, saying so.
%
% Each file goes into a folder of its own, which joins the path only then,
% so that the host reads it whole. In a folder already on the path a new
% file is found only if the host sees the folder change, and Octave
% compares the folder's time, in whole seconds, with its own finer clock,
% which the file system's trails by up to a tick: a file written just after
% the folder was read, as a second began, can be stamped with the second
% before and go unseen ('docs_example_1' undefined).
function examples_run(~, root)
  need_sources(root);
  parent = tempname();
  mkdir(parent);
  cleanup = onCleanup(@() remove_folders(parent));
  refused = 0;
  count = 0;
  for file = {'README.md', fullfile('docs', 'reference.md')}
    blocks = regexp(fileread(fullfile(root, file{1})), '```matlab\r?\n(.*?)```', 'tokens');
    for k = 1:numel(blocks)
      code = blocks{k}{1};
      folder = tempname(parent);
      mkdir(folder);
      defined = regexp(code, '^\s*function\s+(?:\w+\s*=\s*|\[[^\]]*\]\s*=\s*)?(\w+)', 'tokens', 'once');
      if ~isempty(defined)
        write_file(fullfile(folder, [defined{1} '.m']), code);
        addpath(folder);
        continue;
      end
      count = count + 1;
      script = sprintf('docs_example_%d', count);  % a name of its own: hosts keep files they have read
      write_file(fullfile(folder, [script '.m']), code);
      addpath(folder);
      err = run_script(script);
      if isempty(err)
        continue;
      elseif strcmp(err.identifier, 'prioridad:denied')
        refused = refused + 1;
      else
        error('suite:example', '%s, example %d: %s\n%s', file{1}, k, err.message, code);
      end
    end
  end
  if refused > 0
    error('suite:skip', '%d examples that raise the priority could not here: the rest ran', refused);
  end
end

% Runs the script in a workspace of its own, its output kept off the
% suite's, and gives back the priority level it found; returns the error it
% ended in, or [].
function err = run_script(script)
  err = [];
  level = prioridad();
  try
    evalc(script);
  catch err
  end
  prioridad(level);
end

function [message, identifier] = message_of_call(call)
  message = '';
  identifier = '';
  try
    evalc(call);
  catch err
    message = err.message;
    identifier = err.identifier;
  end
end

% The cells of each row of the tables of messages in a Markdown file, those
% whose header begins with the columns Call and Message, trimmed.
function rows = table_rows(file)
  rows = {};
  in_table = false;
  lines = regexp(fileread(file), '\n', 'split');
  for i = 1:numel(lines)
    line = strtrim(lines{i});
    if isempty(line) || line(1) ~= '|'
      in_table = false;
      continue;
    end
    cells = strtrim(regexp(line(2:end - 1), '\|', 'split'));
    if ~isempty(regexp(line, '^\|[-|: ]*$', 'once'))
      continue;  % the rule under a header
    elseif i < numel(lines) && ~isempty(regexp(strtrim(lines{i + 1}), '^\|[-|: ]*-[-|: ]*$', 'once'))
      in_table = numel(cells) >= 2 && strcmp(cells{1}, 'Call') && strcmp(cells{2}, 'Message');
    elseif in_table
      rows{end + 1} = cells; %#ok<AGROW>
    end
  end
end

% The calls of the toolbox's functions among the code in a cell.
function calls = calls_in(text, names)
  calls = {};
  snippets = regexp(text, '`([^`]*)`', 'tokens');
  pattern = ['^(\[\w+(, \w+)*\] = )?(' strjoin(names, '|') ')\(.*\)$'];
  for k = 1:numel(snippets)
    if ~isempty(regexp(snippets{k}{1}, pattern, 'once'))
      calls{end + 1} = snippets{k}{1}; %#ok<AGROW>
    end
  end
end

function write_file(file, text)
  f = fopen(file, 'w');
  fwrite(f, text);
  fclose(f);
end

% Each folder in parent off the path, and parent gone, with what is in it.
function remove_folders(parent)
  folders = dir(parent);
  for i = 1:numel(folders)
    if folders(i).isdir && ~any(strcmp(folders(i).name, {'.', '..'}))
      rmpath(fullfile(parent, folders(i).name));
    end
  end
  rmdir(parent, 's');
end
