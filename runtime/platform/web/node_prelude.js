// Under node: a fault (a WebAssembly trap) is reported like a fatal signal,
// with the line the run-time prepared, and ends the process with status 1.
Module['onAbort'] = function () {
  try {
    const line = Module['UTF8ToString'](Module['_TesselFatalLine']());
    if (line) process.stderr.write(line);
  } catch (e) {}
  process.exitCode = 1;
};

// The program sees the environment it was started with (the display it is
// asked for, where the user's home is), as a native program does.
Module['preRun'] = (Module['preRun'] || []).concat([function () {
  for (const name in process.env) ENV[name] = process.env[name];
}]);

// A write beyond the file size limit (ulimit -f) fails with an error the
// run-time reports, instead of ending the process and leaving a file cut
// short.
process.on('SIGXFSZ', function () {});
