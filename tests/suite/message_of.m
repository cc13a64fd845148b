function [message, identifier] = message_of(f, args, nout)
% message_of  The message and identifier of the error that f(args{:}) raises
% when asked for nout outputs, or '' and '' when it raises none. A file of its
% own, not a local function of the checks, because the checks clear
% functions and then call it.
  message = '';
  identifier = '';
  out = cell(1, nout);
  try
    if nout == 0
      f(args{:});
    else
      [out{:}] = f(args{:});
    end
  catch err
    message = err.message;
    identifier = err.identifier;
  end
end
