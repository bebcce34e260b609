/*
 * Drives the Twinfold actions in a running Tiled, for the tests: an extension
 * that loads beside tools/tiled/*.js (scripts/tiled.sh copies it in with
 * TWINFOLD_TILED_SCRIPTS) and plays the steps of the file TWINFOLD_DRIVE, one
 * a line, writing what it saw to TWINFOLD_DRIVE_OUT:
 *
 *   open PATH      opens a file in the editor
 *   trigger ID     runs one of Tiled's actions (Save, TwinfoldSolve, ...) and
 *                  writes "trigger ID took MS": how long the editor was held
 *   wait           until no program the extension started is running
 *   issues         "issue SEVERITY TEXT" for each report so far, each followed
 *                  by "selected TYPE NAME" for every object its activation selects
 *   route          "object TYPE NAME x,y ..." for each object of the route
 *                  layer, in level pixels (y upward)
 *
 * Then it closes every file unsaved and quits Tiled. A step that fails or a
 * wait past the time bound writes "failed WHY" and quits too; a dialog left
 * open past the bound is written down, and the test's own bound kills Tiled.
 */

var driveplan = String(new Process().getEnv("TWINFOLD_DRIVE") || "");
var driveout = [];
var drivereports = [];
var drivesteps = [];
var drivedeadline = 0;
var driveboundms = 90000;

function drivewrite() {
  var file = new TextFile(String(new Process().getEnv("TWINFOLD_DRIVE_OUT")), TextFile.WriteOnly);
  file.write(driveout.join("\n") + "\n");
  file.commit();
}

function drivequit() {
  drivewrite();
  tiled.openAssets.forEach(function(a) { tiled.close(a); });
  tiled.trigger("Quit");
}

function drivename(o) { return (classof(o) || "-") + " " + (o.name || "-"); }

function driveissues() {
  drivereports.forEach(function(r) {
    driveout.push("issue " + r.severity + " " + r.text);
    if (!r.activate) return;
    var map = tiled.activeAsset;
    map.selectedObjects = [];
    r.activate();
    map.selectedObjects.forEach(function(o) { driveout.push("selected " + drivename(o)); });
  });
}

function driveroute() {
  var map = tiled.activeAsset, H = levelheight(map);
  for (var i = 0; i < map.layerCount; i++) {
    if (!isroute(map.layerAt(i))) continue;
    objectsof(map.layerAt(i), []).forEach(function(o) {
      var points = o.shape === MapObject.Polyline ? o.polygon : [Qt.point(0, 0)];
      driveout.push("object " + drivename(o) + " " +
                    points.map(function(p) { return (o.x + p.x) + "," + (H - o.y - p.y); }).join(" "));
    });
  }
}

// One step; false while it waits.
function drivestep(step) {
  var word = step.split(" ")[0], rest = step.slice(word.length + 1);
  if (word === "open") {
    if (!tiled.open(rest)) throw "cannot open " + rest;
  } else if (word === "trigger") {
    var start = Date.now();
    tiled.trigger(rest);
    driveout.push("trigger " + rest + " took " + (Date.now() - start));
  } else if (word === "wait") {
    return jobs.length === 0;
  } else if (word === "issues") {
    driveissues();
  } else if (word === "route") {
    driveroute();
  } else {
    throw "unknown step " + step;
  }
  return true;
}

var drivebusy = false;  // a modal dialog runs timers inside a step

function drivetick() {
  if (drivebusy) {
    // Only killing Tiled ends a dialog that nobody answers; say why first.
    if (Date.now() > drivedeadline && driveout[driveout.length - 1] !== "failed held by a dialog") {
      driveout.push("failed held by a dialog");
      drivewrite();
    }
    return;
  }
  drivebusy = true;
  try {
    while (drivesteps.length) {
      if (Date.now() > drivedeadline) throw "no answer within " + driveboundms / 1000 + " s at: " + drivesteps[0];
      if (!drivestep(drivesteps[0])) {
        drivebusy = false;
        return;
      }
      drivesteps.shift();
    }
  } catch (e) {
    driveout.push("failed " + e);
  }
  drivetimer.stop();
  drivequit();
}

// Set up on the first tick: this file may load before the extension's.
function drivestart() {
  // Every report is seen here as well as in the Issues list.
  var drivenreport = report;
  report = function(severity, text, activate) {
    drivereports.push({severity: severity, text: text, activate: activate});
    drivenreport(severity, text, activate);
  };
  drivesteps = readtext(driveplan).split("\n").filter(function(l) { return l.trim() !== ""; });
  drivedeadline = Date.now() + driveboundms;
  drivetimer.triggered.disconnect(drivestart);
  drivetimer.triggered.connect(drivetick);
}

if (driveplan) {
  var drivetimer = Qt.createQmlObject("import QtQml 2.2; Timer { interval: 50; repeat: true }", tiled, "drive");
  drivetimer.triggered.connect(drivestart);
  drivetimer.start();
}
