/*
 * Twinfold level makers' actions for the Tiled map editor, beside the level
 * format in twinfold.js (whose functions this file uses): answers while the
 * level is drawn, from the game's own programs.
 *
 *   saving a level file   twinfold-check on it; each error and warning goes
 *                         to the Issues list with its line, and activating one
 *                         selects the object whose command is on that line
 *   Map > Solve level     twinfold-solve on the map as it stands, with a
 *                         budget of world steps; the par, the proof that the
 *                         level cannot be finished (with the farthest points
 *                         reached) or "not found" go to the Issues list, and
 *                         the route to the layer "route (not saved)"
 *   Map > Watch route     twinfold-play --replay: the last route in the game
 *   Map > Test-play level twinfold-play: the map as it stands, in the game
 *
 * The solver's outcome comes from twinfold-solve --json, the route's
 * positions from twinfold-replay --json, the game's own
 * stepping: the hero's lower left corner after every step, as the start
 * point marks it. A plane shift breaks the line and is drawn as a line of
 * its own from where the hero stood to where it landed (type "shift"; "shift
 * not carried", a point, where the hero could not go), its replay line in the
 * property "replay line".
 *
 * Nothing here waits for a program. Tiled 1.8's Process cannot tell when a
 * started program has ended (waitForFinished(0) answers false both while it
 * runs and after it has ended, and exitCode reads 0 until then and after), so
 * each program runs under a small shell that writes its output and then its
 * exit status to files, and a timer looks for the status file ten times a
 * second. Tiled's Issues list holds only errors and warnings, so the par comes
 * as a warning too.
 */

var solvebudget = 20000000;  // world steps: about ten seconds on a two-core machine
var solveseconds = 20;       // the same bound for a solver that takes no --budget
var routelayername = "route (not saved)";
var pollms = 100;

/* ---- programs in the background ---- */

var jobs = [];  // running: {name, status, out, err, done, process}; the process kept alive here
var polltimer = null;
var workdir = "";
var foldercount = 0;

function readtext(path) {
  var file = new TextFile(path, TextFile.ReadOnly);
  var text = file.readAll();
  file.close();
  return text;
}

function writetext(path, text) {
  var file = new TextFile(path, TextFile.WriteOnly);
  file.write(text);
  file.commit();
}

// A fresh folder for one job, in a folder of this editor session's own under
// the system's temporary folder: no job writes over another's files.
function newfolder(name) {
  if (!workdir) {
    workdir = (environment("TMPDIR") || "/tmp") + "/twinfold-tiled-" + Date.now() + "-" +
              Math.floor(Math.random() * 1e9);
  }
  var folder = workdir + "/" + (++foldercount) + "-" + name;
  File.makePath(folder);
  return folder;
}

function running(name) {
  return jobs.some(function(j) { return j.name === name; });
}

// The shell writes the status last, and whole (moved into place), so a
// status file that is there means the output files are complete.
var wrapper = 'o=$1 e=$2 s=$3; shift 3; "$@" >"$o" 2>"$e"; echo $? >"$s.part"; mv "$s.part" "$s"';

// Starts program with args; done(status, out, err) runs once it has ended.
function runbackground(name, program, args, done) {
  var folder = newfolder(name);
  var job = {name: name, status: folder + "/status", out: folder + "/out", err: folder + "/err", done: done};
  job.process = new Process();
  job.process.start("sh", ["-c", wrapper, "sh", job.out, job.err, job.status, program].concat(args));
  jobs.push(job);
  tiled.log(name + ": " + program + " " + args.join(" "));
  if (!polltimer) {
    polltimer = Qt.createQmlObject("import QtQml 2.2; Timer { repeat: true }", tiled, "twinfoldpoll");
    polltimer.interval = pollms;
    polltimer.triggered.connect(poll);
  }
  polltimer.start();
}

function poll() {
  var ended = [], still = [];
  jobs.forEach(function(j) { (File.exists(j.status) ? ended : still).push(j); });
  jobs = still;
  if (!jobs.length) polltimer.stop();
  ended.forEach(function(j) {
    try {
      j.done(Number(readtext(j.status).trim()), readtext(j.out), readtext(j.err));
    } catch (e) {
      report("error", j.name + ": " + e);
    }
  });
}

/* ---- reports ---- */

// One line in Tiled's Issues list (errors and warnings are all it holds);
// activate, where given, runs when the issue is activated.
function report(severity, text, activate) {
  if (severity === "error") tiled.error(text, activate);
  else tiled.warn(text, activate);
}

function lines(text) { return text.split("\n").filter(function(l) { return l.trim() !== ""; }); }

function isopen(map) { return tiled.openAssets.indexOf(map) >= 0; }

// Selects these objects of map and shows the first one.
function showobjects(map, objects) {
  if (!objects.length || !isopen(map)) return;
  tiled.activeAsset = map;
  map.selectedObjects = objects;
  var view = tiled.mapEditor.currentMapView;
  if (view) view.centerOn(objects[0].x, objects[0].y);
}

function objectwithid(map, id) {
  for (var i = 0; i < map.layerCount; i++) {
    var objects = objectsof(map.layerAt(i), []);
    for (var j = 0; j < objects.length; j++) {
      if (objects[j].id === id) return objects[j];
    }
  }
  return null;
}

/* ---- the checker on every save ---- */

// A checker line "path:line:column: [warning: ]what", or "path: what" where
// there is no place.
function checkreport(map, places, line) {
  var m = /^.*?:(\d+):\d+: (warning: )?/.exec(line);
  var severity = m && m[2] ? "warning" : "error";
  var id = m ? places[Number(m[1])] : undefined;
  report(severity, line, id === undefined ? undefined : function() {
    var o = objectwithid(map, id);
    if (o) showobjects(map, [o]);
  });
}

function checklevel(map) {
  var file = map.fileName;
  var places = savedplaces[file] || [];
  runbackground("check", program("check"), [file], function(status, out, err) {
    lines(out).forEach(function(l) { tiled.log(l); });
    lines(err).forEach(function(l) { checkreport(map, places, l); });
    if (status > 1) report("error", "twinfold-check ended with status " + status);
  });
}

tiled.assetSaved.connect(function(asset) {
  if (asset.isTileMap && /\.lvl$/i.test(asset.fileName)) checklevel(asset);
});

/* ---- the map as a level file of its own ---- */

function basename(path) { return path.slice(path.lastIndexOf("/") + 1); }

// The programs name the level in their reports by its file's name.
function levelname(map) {
  return map.fileName ? basename(map.fileName).replace(/\.[^.]*$/, "") + ".lvl" : "untitled.lvl";
}

// The pictures the map names, where they lie beside its file, go along.
function copypictures(map, folder) {
  if (!map.fileName) return;
  ["background", "foreground"].forEach(function(layer) {
    var name = map.property(layer);
    if (!name || name === emptyname) return;
    [name + ".png", name + ".a.png"].forEach(function(file) {
      var from = folderof(map.fileName) + "/" + file;
      if (File.exists(from)) File.copy(from, folder + "/" + file);
    });
  });
}

// Writes the map as the level file NAME.lvl in the job's folder; null, with
// the reasons in the Issues list, when the map cannot be a level.
function templevel(map, job) {
  var errors = [];
  var text = leveltext(map, errors);
  if (errors.length) {
    errors.forEach(function(e) { report("error", job + ": " + e); });
    return null;
  }
  var path = newfolder(job) + "/" + levelname(map);
  writetext(path, text);
  return path;
}

function activemap(action) {
  var map = tiled.activeAsset;
  if (map && map.isTileMap) return map;
  report("warning", action + ": open a level first");
  return null;
}

/* ---- solving ---- */

var lastroute = null;  // {map, replay}: the map last solved and its route

function removeroute(map) {
  for (var i = map.layerCount - 1; i >= 0; i--) {
    if (isroute(map.layerAt(i))) map.removeLayerAt(i);
  }
}

function routeobject(type, name, points, H) {
  var o = newobject(type);
  o.name = name;
  o.x = points[0].x;
  o.y = H - points[0].y;
  if (points.length === 1) {
    o.shape = MapObject.Point;
  } else {
    o.shape = MapObject.Polyline;
    o.polygon = points.map(function(p) { return Qt.point(p.x - points[0].x, points[0].y - p.y); });
  }
  return o;
}

// A layer of its own above the level's, which saving leaves out.
function addroutelayer(map, objects) {
  removeroute(map);
  var layer = objectlayer(routelayername, objects);
  layer.setProperty("twinfold route", true);
  layer.color = "#ff00ff";
  map.addLayer(layer);
  return objects;
}

// Stretches of hero positions between carried shifts, and the shifts
// themselves, from twinfold-replay --json.
function jsonroute(played) {
  var stretches = [[]], shifts = [];
  var at = 0;  // steps taken into the stretches so far
  played.shifts.forEach(function(s) {
    for (; at < s.afterstep; at++) stretches[stretches.length - 1].push(played.route[at]);
    var carried = s.how === "carried";
    shifts.push({line: s.line, how: s.how, points: carried ? [s.from, s.to] : [s.from]});
    if (carried) stretches.push([s.to]);
  });
  for (; at < played.route.length; at++) stretches[stretches.length - 1].push(played.route[at]);
  return {stretches: stretches.filter(function(s) { return s.length > 1; }), shifts: shifts};
}

function drawroute(map, played, H) {
  var route = jsonroute(played);
  // Unnamed: Tiled would label each one over the level.
  var objects = route.stretches.map(function(s) { return routeobject("route", "", s, H); });
  route.shifts.forEach(function(s) {
    var o = routeobject(s.how === "carried" ? "shift" : "shift not carried", "", s.points, H);
    o.setProperty("replay line", Number(s.line));
    objects.push(o);
  });
  return addroutelayer(map, objects);
}

// The hero's places nearest the end, in level coordinates.
function drawfarthest(map, points, H) {
  return addroutelayer(map, points.map(function(p, i) {
    return routeobject("farthest point", "farthest " + (i + 1), [p], H);
  }));
}

function shower(map, objects) { return function() { showobjects(map, objects); }; }

function solved(map, level, replay, par, H) {
  runbackground("route", program("replay"), [level, replay, "--json"], function(status, out, err) {
    if (!isopen(map)) return;
    // An input the replay player refused has only its message on standard error.
    var played = out.trim() ? JSON.parse(out) : {route: [], shifts: [], message: lines(err).pop()};
    var objects = drawroute(map, played, H);
    lastroute = {map: map, replay: replay};
    var note = status === 0 ? "; route in layer '" + routelayername + "'"
                            : "; the route did not replay: " + played.message;
    report("warning", par + note, shower(map, objects));
  });
}

// The solver's outcome as twinfold-solve --json gives it (statuses 0, 1 and
// 4); any other status has only its message on standard error.
function solveanswer(map, level, replay, H, status, out, err) {
  var outcome = status === 0 || status === 1 || status === 4 ? JSON.parse(out) : null;
  if (status === 0) return solved(map, level, replay, outcome.message, H);
  if (!isopen(map)) return;
  if (status === 4) return report("error", outcome.message, shower(map, drawfarthest(map, outcome.farthest, H)));
  removeroute(map);
  var text = outcome ? outcome.message : err.trim();
  report(status === 1 ? "warning" : "error", text || "twinfold-solve ended with status " + status);
}

function solvelevel() {
  var map = activemap("Solve level");
  if (!map) return;
  if (running("solve") || running("route")) return report("warning", "Solve level: a solve is still running");
  var level = templevel(map, "solve");
  if (!level) return;
  var replay = level.replace(/\.lvl$/, ".replay"), H = levelheight(map);
  var solver = program("solve");
  var answer = function(status, out, err) { solveanswer(map, level, replay, H, status, out, err); };
  runbackground("solve", solver, [level, "-o", replay, "--json", "--budget", String(solvebudget)], function(status, out, err) {
    // A solver that bounds its search only in seconds refuses --budget.
    if (status === 2) runbackground("solve", solver, [level, "-o", replay, "--json", "--seconds", String(solveseconds)], answer);
    else answer(status, out, err);
  });
}

/* ---- playing ---- */

// twinfold-play's warnings and failure go to the Issues list.
function playanswer(action) {
  return function(status, out, err) {
    lines(err).forEach(function(l) { report(/^warning: /.test(l) ? "warning" : "error", action + ": " + l); });
    if (status !== 0 && !err.trim()) report("error", action + ": twinfold-play ended with status " + status);
  };
}

// The map in the game, one game at a time: the game's folder is the job's.
// Watching plays the map's last route in it.
function play(action, watch) {
  var map = activemap(action);
  if (!map) return;
  if (running("play")) return report("warning", action + ": the game is still running");
  var route = lastroute && lastroute.map === map ? lastroute.replay : "";
  if (watch && !route) return report("warning", action + ": solve this level first");
  var level = templevel(map, "play");
  if (!level) return;
  copypictures(map, folderof(level));
  runbackground("play", program("play"), watch ? [level, "--replay", route] : [level], playanswer(action));
}

function testplay() { play("Test-play level", false); }

function watchroute() { play("Watch route", true); }

var actions = [
  {id: "TwinfoldSolve", text: "Solve level", run: solvelevel},
  {id: "TwinfoldWatch", text: "Watch route", run: watchroute},
  {id: "TwinfoldPlay", text: "Test-play level", run: testplay},
];
actions.forEach(function(a) { tiled.registerAction(a.id, a.run).text = a.text; });
tiled.extendMenu("Map", [{separator: true}].concat(actions.map(function(a) { return {action: a.id}; })));
