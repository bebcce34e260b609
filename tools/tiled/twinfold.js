/*
 * Twinfold level format for the Tiled map editor: opens and saves the game's
 * level files ("*.lvl") as maps, so levels can be drawn with the mouse.
 *
 * Opening runs `twinfold-level json LEVEL`, the game's own loader, and turns
 * what it built into objects; nothing here reads the level text itself. The
 * items' sizes and the names' limits come from `twinfold-level format`. The
 * game's programs are looked for in this order (twinfold-level as the
 * example): the path in the environment variable TWINFOLD_LEVEL_TOOL;
 * twinfold-level beside this file; beside the twinfold-level that
 * TWINFOLD_LEVEL_TOOL names (a build folder holds them all); on PATH.
 * The level's pictures are looked for beside the level, then in each folder
 * of the colon-separated list in TWINFOLD_PICTURES.
 *
 * One level pixel is one map pixel. Levels count y upward, maps downward: a
 * level point (x, y) is the map point (x, H - y), where H is the map property
 * "level height", kept so that saving turns y back exactly.
 *
 *   object type         shape             level command
 *   ground              rectangle         buildGround
 *   ledge               rectangle         buildLedge
 *   no wall jump        rectangle         buildNonWallJumpGround
 *   slope               right triangle    buildTriangle
 *   slippery slope      right triangle    buildSlipperyTriangle
 *   spikes              rectangle         buildSpikes
 *   checkpoint          64 by 64          addCheckPoint
 *   picture offset      64 by 64          setImageShift (a checkpoint that also
 *                                         places the pictures at its corner)
 *   end                 40 by 40          setEndPosition
 *   shift pickup        32 by 32          addShiftPickup
 *   viewmaster pickup   32 by 32          addViewMasterPickup
 *   start               point             setStartPosition
 *
 * A rectangle's first corner is its lower left one unless its bool property
 * "reversed x" (first corner on the right) or "reversed y" (first corner on
 * top) says otherwise; spikes and ledges behave differently when reversed. A
 * slope's polygon starts at its right-angle corner (x1, y1). Map properties:
 * "shift count", "next level", "background", "foreground" and "unknown
 * commands" (words that named no command, kept as the level had them; "()"
 * stands for an empty word). A picture the level asks for by a name the game
 * reads as empty (`setForeground( "f")`, `setBackground("")`) is the
 * property value "" (two double quotes): saved, it still asks for it, and
 * the game still stops on it as it did.
 *
 * Saving writes the settings, then every object in layer and list order (so
 * elements and items keep their order), each object's name as a comment above
 * its command. An object the level format cannot hold is refused with a
 * message naming it, and then nothing is written. Layers with the bool
 * property "twinfold route" (the solver's route, drawn by twinfold-actions.js)
 * are never saved.
 */

var tilesize = 16;       // map grid, in pixels; the level itself has no grid
var extensiondir = __filename.replace(/\/[^\/]*$/, "");

// Fixed-size items: their command names one point, their size is the game's
// (its name in twinfold-level format).
var fixeditems = {
  "checkpoint": {size: "checkpointsize", command: "addCheckPoint", centred: false},
  "picture offset": {size: "checkpointsize", command: "setImageShift", centred: false},
  "end": {size: "endsize", command: "setEndPosition", centred: false},
  "shift pickup": {size: "pickupsize", command: "addShiftPickup", centred: true},
  "viewmaster pickup": {size: "pickupsize", command: "addViewMasterPickup", centred: true},
};
var rectcommands = {
  "ground": "buildGround",
  "ledge": "buildLedge",
  "no wall jump": "buildNonWallJumpGround",
  "spikes": "buildSpikes",
};
var slopecommands = {
  "slope": "buildTriangle",
  "slippery slope": "buildSlipperyTriangle",
};

/* ---- finding things ---- */

function environment(name) {
  var value = new Process().getEnv(name);
  return value ? String(value) : "";
}

function folderof(path) {
  var slash = path.lastIndexOf("/");
  return slash < 0 ? "." : path.slice(0, slash);
}

// The game's program twinfold-NAME, found as the comment on top says.
function program(name) {
  var file = "twinfold-" + name;
  var fromenv = environment("TWINFOLD_" + name.toUpperCase() + "_TOOL");
  if (fromenv) return fromenv;
  var beside = extensiondir + "/" + file;
  if (File.exists(beside)) return beside;
  var leveltool = environment("TWINFOLD_LEVEL_TOOL");
  var besidelevel = folderof(leveltool) + "/" + file;
  if (leveltool && File.exists(besidelevel)) return besidelevel;
  return file;
}

// The picture file, or "" when it is in none of the folders.
function findpicture(file, levelpath) {
  var folders = [folderof(levelpath)].concat(environment("TWINFOLD_PICTURES").split(":"));
  for (var i = 0; i < folders.length; i++) {
    if (folders[i] && File.exists(folders[i] + "/" + file)) return folders[i] + "/" + file;
  }
  return "";
}

/* ---- opening ---- */

// twinfold-level's JSON answer to args.
function askleveltool(args) {
  var tool = program("level");
  var process = new Process();
  var status = process.exec(tool, args);
  var output = process.readStdOut();
  var errors = process.readStdErr().trim();
  if (status !== 0) {
    throw new Error(errors || ("cannot run " + tool + " (set TWINFOLD_LEVEL_TOOL to twinfold-level)"));
  }
  return JSON.parse(output);
}

// The level as the game's loader builds it (see twinfold-level).
function loadlevel(fileName) { return askleveltool(["json", fileName]); }

// The level format's item sizes and name limits, asked for once.
var formatcache = null;
function levelformat() {
  if (!formatcache) formatcache = askleveltool(["format"]);
  return formatcache;
}

function roundup(v) { return Math.max(tilesize, Math.ceil(v / tilesize) * tilesize); }

// Map width and height in pixels: everything from 0 up to the furthest corner.
function levelsize(level) {
  var w = level.start.x, h = level.start.y;
  var all = level.boxes.concat(level.items);
  for (var i = 0; i < all.length; i++) {
    w = Math.max(w, all[i].x1, all[i].x2);
    h = Math.max(h, all[i].y1, all[i].y2);
  }
  return {width: roundup(w), height: roundup(h)};
}

// Tiled 1.9 renamed an object's type to its class.
function classof(o) { return o.className !== undefined ? o.className : o.type; }

function newobject(type) {
  var o = new MapObject("");
  if (o.className !== undefined) o.className = type;
  else o.type = type;
  return o;
}

// A rectangle from stored corners; reversed corners are kept as properties.
function rectobject(type, b, H) {
  var o = newobject(type);
  var left = Math.min(b.x1, b.x2), top = Math.max(b.y1, b.y2);
  o.x = left;
  o.y = H - top;
  o.width = Math.abs(b.x2 - b.x1);
  o.height = Math.abs(b.y2 - b.y1);
  if (b.x1 > b.x2) o.setProperty("reversed x", true);
  if (b.y1 > b.y2) o.setProperty("reversed y", true);
  return o;
}

// A slope: right angle at (x1, y1), then (x1, y2), then (x2, y1).
function slopeobject(type, b, H) {
  var o = newobject(type);
  o.shape = MapObject.Polygon;
  o.x = b.x1;
  o.y = H - b.y1;
  o.polygon = [Qt.point(0, 0), Qt.point(0, b.y1 - b.y2), Qt.point(b.x2 - b.x1, 0)];
  return o;
}

function boxobject(b, H) {
  if (b.triangle) return slopeobject(b.slippery ? "slippery slope" : "slope", b, H);
  return rectobject(b.ledge ? "ledge" : b.nowalljump ? "no wall jump" : "ground", b, H);
}

var kindtypes = {1: "checkpoint", 2: "end", 3: "shift pickup", 4: "spikes", 5: "viewmaster pickup"};

// The loader's picture offset made the last checkpoint at that offset.
function pictureoffsetindex(level) {
  var s = level.imageshift, size = levelformat().checkpointsize;
  for (var i = level.items.length - 1; i >= 0; i--) {
    var it = level.items[i];
    if (it.kind === 1 && it.x1 === s.x && it.y1 === s.y && it.x2 === s.x + size && it.y2 === s.y + size) {
      return i;
    }
  }
  if (s.x !== 0 || s.y !== 0) tiled.warn("the picture offset has no checkpoint of its own");
  return -1;
}

function itemobject(it, H, isoffset) {
  var type = isoffset ? "picture offset" : kindtypes[it.kind];
  if (!type) throw new Error("item of unknown kind " + it.kind);
  return rectobject(type, it, H);
}

function objectlayer(name, objects) {
  var layer = new ObjectGroup(name);
  for (var i = 0; i < objects.length; i++) layer.addObject(objects[i]);
  return layer;
}

// A name no picture file can have stands for a picture asked for by an empty
// name; names never hold double quotes.
var emptyname = '""';

function picturename(name, asked) { return asked && !name ? emptyname : name; }

// A picture layer with the picture's lower left corner at the picture offset;
// a missing picture leaves the layer empty, with a warning.
function picturelayer(layername, picture, fileName, level, H) {
  var layer = new ImageLayer(layername);
  layer.locked = true;
  if (picture === emptyname) {
    tiled.warn("the level asks for a " + layername + " picture by an empty name; the game stops on it");
    return layer;
  }
  if (!picture) return layer;
  var file = picture + ".png";
  var path = findpicture(file, fileName);
  if (!path) {
    tiled.warn("picture " + file + " not found beside the level or in TWINFOLD_PICTURES; layer '" +
               layername + "' stays empty");
    return layer;
  }
  var image = new Image(path);
  layer.setImage(image, path);  // also shows it; the source alone is only a name
  layer.offset = Qt.point(level.imageshift.x, H - level.imageshift.y - image.height);
  return layer;
}

function readlevel(fileName) {
  var level = loadlevel(fileName);
  var size = levelsize(level);
  var H = size.height;
  var map = new TileMap();
  map.setTileSize(tilesize, tilesize);
  map.setSize(size.width / tilesize, H / tilesize);
  map.setProperty("level height", H);
  map.setProperty("shift count", level.shiftcount);
  map.setProperty("next level", level.nextlevel);
  map.setProperty("background", picturename(level.background, level.backgroundasked));
  map.setProperty("foreground", picturename(level.foreground, level.foregroundasked));
  if (level.unknownwords.length) {
    var words = level.unknownwords.map(function(w) { return w || "()"; });
    map.setProperty("unknown commands", words.join(" "));
    tiled.warn("the level has words that name no command: " + words.join(" "));
  }

  map.addLayer(picturelayer("background", map.property("background"), fileName, level, H));
  map.addLayer(picturelayer("foreground", map.property("foreground"), fileName, level, H));
  map.addLayer(objectlayer("elements", level.boxes.map(function(b) { return boxobject(b, H); })));
  var offset = pictureoffsetindex(level);
  map.addLayer(objectlayer("items", level.items.map(function(it, i) {
    return itemobject(it, H, i === offset);
  })));
  var start = newobject("start");
  start.shape = MapObject.Point;
  start.x = level.start.x;
  start.y = H - level.start.y;
  map.addLayer(objectlayer("start", [start]));
  return map;
}

/* ---- saving ---- */

function describe(o) {
  return (classof(o) ? classof(o) + " " : "object ") + (o.name ? "'" + o.name + "' " : "") + "(id " + o.id + ")";
}

// Level integers from map pixels; dragging without the grid can leave fractions.
function levelx(v) { return Math.round(v); }
function levely(v, H) { return H - Math.round(v); }

function int32(v) { return v >= -2147483648 && v <= 2147483647; }

function checkints(o, values) {
  for (var i = 0; i < values.length; i++) {
    if (!int32(values[i])) throw describe(o) + " lies beyond the level's number range";
  }
  return values;
}

// x1, x2, y1, y2 of a rectangle object, reversed where its properties say so.
function rectcorners(o, H) {
  if (o.shape !== MapObject.Rectangle || o.tile) throw describe(o) + " must be a rectangle";
  var left = levelx(o.x), right = levelx(o.x + o.width);
  var top = levely(o.y, H), bottom = levely(o.y + o.height, H);
  var rx = o.property("reversed x") === true, ry = o.property("reversed y") === true;
  return checkints(o, [rx ? right : left, rx ? left : right, ry ? top : bottom, ry ? bottom : top]);
}

// x1, x2, y1, y2 of a slope: the corner whose neighbours share its x and its y.
function slopecorners(o, H) {
  if (o.shape !== MapObject.Polygon || o.polygon.length !== 3) {
    throw describe(o) + " must be a triangle";
  }
  var p = o.polygon.map(function(q) { return {x: levelx(o.x + q.x), y: levely(o.y + q.y, H)}; });
  for (var i = 0; i < 3; i++) {
    var orders = [[(i + 1) % 3, (i + 2) % 3], [(i + 2) % 3, (i + 1) % 3]];
    for (var k = 0; k < 2; k++) {
      var a = p[orders[k][0]], b = p[orders[k][1]];
      if (a.x === p[i].x && b.y === p[i].y) return checkints(o, [p[i].x, b.x, p[i].y, a.y]);
    }
  }
  throw describe(o) + " is not a right triangle with its legs along x and y";
}

function commandline(command, numbers) { return command + "(" + numbers.join(", ") + ");"; }

// The command for one object, or a thrown message saying why there is none.
function objectcommand(o, H) {
  var type = classof(o);
  if (o.rotation) throw describe(o) + " is rotated; levels hold no rotated shapes";
  if (o.shape === MapObject.Ellipse) throw describe(o) + " is an ellipse; levels hold none";
  if (rectcommands[type]) return commandline(rectcommands[type], rectcorners(o, H));
  if (slopecommands[type]) return commandline(slopecommands[type], slopecorners(o, H));
  if (type === "start") {
    if (o.shape !== MapObject.Point) throw describe(o) + " must be a point";
    return commandline("setStartPosition", checkints(o, [levelx(o.x), levely(o.y, H)]));
  }
  var item = fixeditems[type];
  if (!item) {
    throw describe(o) + " has no level type; give it one of: " +
        Object.keys(rectcommands).concat(Object.keys(slopecommands), Object.keys(fixeditems), ["start"]).join(", ");
  }
  if (o.property("reversed x") === true || o.property("reversed y") === true) {
    throw describe(o) + " has reversed corners; a " + type + " has none";
  }
  var c = rectcorners(o, H), size = levelformat()[item.size];
  if (c[1] - c[0] !== size || c[3] - c[2] !== size) {
    throw describe(o) + " is " + o.width + " by " + o.height + "; a " + type + " is " +
        size + " by " + size;
  }
  var half = item.centred ? size / 2 : 0;
  return commandline(item.command, checkints(o, [c[0] + half, c[2] + half]));
}

// A name as a comment the level's lexer skips: it must hold no parenthesis
// (that would start a command) and must end with the slash of "*/".
function comment(name) {
  return "/* " + name.replace(/\(/g, "[").replace(/\)/g, "]").replace(/\s+/g, " ") + " */";
}

function objectsof(layer, out) {
  if (layer.isObjectLayer) {
    for (var i = 0; i < layer.objectCount; i++) out.push(layer.objectAt(i));
  } else if (layer.isGroupLayer) {
    for (var j = 0; j < layer.layerCount; j++) objectsof(layer.layerAt(j), out);
  }
  return out;
}

// A name as the loader reads it back: a run of visible ASCII without quotes.
function namecommand(command, value, room, errors) {
  if (value === undefined || value === null || value === "") return [];
  value = String(value);
  if (value === emptyname && command !== "setNextLevel") return [command + "(\"\");"];
  if (!/^[\x21\x23-\x7e]+$/.test(value)) {
    errors.push("map property for " + command + " '" + value + "' must be visible ASCII without blanks or double quotes");
  } else if (value.length > room) {
    errors.push("map property for " + command + " '" + value + "' is longer than " + room + " characters");
  }
  return [command + "(\"" + value + "\");"];
}

function settinglines(map, errors) {
  var lines = [], format = levelformat();
  lines = lines.concat(namecommand("setBackground", map.property("background"), format.pictureroom, errors));
  lines = lines.concat(namecommand("setForeground", map.property("foreground"), format.pictureroom, errors));
  lines = lines.concat(namecommand("setNextLevel", map.property("next level"), format.nextlevelroom, errors));
  var count = map.property("shift count");
  if (count !== undefined && count !== "" && Number(count) !== 0) {
    if (!Number.isInteger(Number(count)) || !int32(Number(count))) {
      errors.push("map property 'shift count' must be a whole number");
    }
    lines.push(commandline("setShiftCount", [Number(count)]));
  }
  return lines;
}

function unknownlines(map, errors) {
  var words = String(map.property("unknown commands") || "").split(/\s+/).filter(Boolean);
  var room = levelformat().wordroom;
  return words.map(function(w) {
    if (w === "()") return "();";
    if (!/^[A-Za-z0-9]+$/.test(w) || w.length > room) errors.push("unknown command '" + w + "' is not a word of letters and digits");
    return w + "();";
  });
}

function levelheight(map) {
  var H = map.property("level height");
  return H === undefined ? map.height * map.tileHeight : Number(H);
}

// Commands for a list of objects, each name as a comment above its command.
// A command's line is kept with the object it came from.
function commandlines(objects, H, errors) {
  var lines = [];
  for (var j = 0; j < objects.length; j++) {
    var o = objects[j];
    try {
      var line = objectcommand(o, H);
      if (o.name) {
        if (j > 0) lines.push("");
        lines.push(comment(o.name));
      }
      lines.push({text: line, object: o});
    } catch (message) {
      errors.push(String(message));
    }
  }
  return lines;
}

function isstart(o) { return classof(o) === "start"; }
function notstart(o) { return !isstart(o); }

function isroute(layer) { return layer.property("twinfold route") === true; }

// The start goes with the settings; then the objects of each layer in turn,
// a blank line between layers. Elements and items keep their list order.
function objectlines(map, H, errors) {
  var layers = [];
  for (var i = 0; i < map.layerCount; i++) {
    if (!isroute(map.layerAt(i))) layers.push(objectsof(map.layerAt(i), []));
  }
  var all = [].concat.apply([], layers);
  var lines = commandlines(all.filter(isstart), H, errors);
  layers.forEach(function(objects) {
    var rest = objects.filter(notstart);
    if (rest.length) lines = lines.concat([""], commandlines(rest, H, errors));
  });
  return lines;
}

// The level file's text. places, when given, gets the id of the object whose
// command is on each line, by line number from 1.
function leveltext(map, errors, places) {
  var H = levelheight(map);
  var lines = settinglines(map, errors).concat(objectlines(map, H, errors));
  var unknown = unknownlines(map, errors);
  if (unknown.length) lines.push("", "/* Words that name no command, kept as the level had them */");
  while (lines.length && lines[0] === "") lines.shift();
  lines = lines.concat(unknown).map(function(line, i) {
    if (typeof line === "string") return line;
    if (places) places[i + 1] = line.object.id;
    return line.text;
  });
  return lines.join("\n") + "\n";
}

// Tiled shows the returned message in its window; on the command line it
// prints none, so the reasons also go to standard error, one a line.
function refuse(errors) {
  var message = "not saved: " + errors.join("; ");
  tiled.error(message);
  try {
    var stderr = new TextFile("/dev/stderr", TextFile.Append);
    stderr.write(errors.map(function(e) { return "not saved: " + e + "\n"; }).join(""));
    stderr.close();
  } catch (e) {
    // no standard error to write to; the message above is enough
  }
  return message;
}

// Object ids by line of each level file as last saved here, so a report
// about a line can point at its object.
var savedplaces = {};

function writelevel(map, fileName) {
  var errors = [], places = [];
  try {
    levelformat();
  } catch (e) {
    return refuse([e.message]);
  }
  var text = leveltext(map, errors, places);
  if (errors.length) return refuse(errors);
  var file = new TextFile(fileName, TextFile.WriteOnly);
  file.write(text);
  file.commit();
  savedplaces[fileName] = places;
  return undefined;
}

tiled.registerMapFormat("lvl", {
  name: "Twinfold level (*.lvl)",
  extension: "lvl",
  read: readlevel,
  write: writelevel,
});
