/*
 * Twinfold's "Publish level" action for the Tiled map editor, beside the
 * other actions (twinfold-actions.js, whose background runner and reports it
 * uses): packs the saved level and the chain of next levels from it with
 * twinfold-pack, which checks every level and proves each one finishable by
 * the replay beside it or by the solver. The pack goes beside the level as
 * NAME.twinpack; its path, size and pars, or each level's reasons for a
 * refusal, go to the Issues list.
 */

var publishbudget = 20000000;  // world steps for a level without a replay, as Solve level

// The pack's report (twinfold-pack --json) as issues.
function publishanswer(status, out, err) {
  var answer = null;
  try {
    answer = JSON.parse(out);
  } catch (e) {
    answer = null;
  }
  if (!answer) {
    lines(err).forEach(function(l) { report("error", "Publish level: " + l); });
    return report("error", "Publish level: twinfold-pack ended with status " + status);
  }
  answer.refusals.forEach(function(r) { report("error", "Publish level: " + r); });
  if (!answer.ok) return;
  var pars = answer.levels.map(function(l) { return l.name + " par " + l.par; }).join(", ");
  report("warning", "Published " + answer.pack + " (" + answer.bytes + " bytes; " + pars + ")");
}

function publishlevel() {
  var map = activemap("Publish level");
  if (!map) return;
  if (running("publish")) return report("warning", "Publish level: a pack is still being made");
  if (!/\.lvl$/i.test(map.fileName || "") || map.modified) {
    return report("warning", "Publish level: save the level as a .lvl file first; the pack holds the saved file");
  }
  var pack = map.fileName.replace(/\.lvl$/i, ".twinpack");
  var args = [map.fileName, "-o", pack, "--json", "--budget", String(publishbudget)];
  var author = environment("USER");
  if (author) args.push("--author", author);
  runbackground("publish", program("pack"), args, publishanswer);
}

tiled.registerAction("TwinfoldPublish", publishlevel).text = "Publish level";
tiled.extendMenu("Map", [{action: "TwinfoldPublish"}]);
