// Runs before the game's script: what the browser's WebGL needs that the
// desktop's OpenGL does not. WebGL 1 takes a texture only when its internal
// format equals the format of the texels given. The game uploads four bytes a
// texel and asks for GL_RGB where a picture has no alpha picture; those texels
// carry alpha 255, so GL_RGBA stores the same picture and draws it the same.
(function () {
  if (typeof WebGLRenderingContext === 'undefined') return;
  var proto = WebGLRenderingContext.prototype;
  var upload = proto.texImage2D;
  proto.texImage2D = function (target, level, internalformat, width, height, border, format) {
    if (arguments.length === 9 && internalformat === this.RGB && format === this.RGBA) {
      var args = Array.prototype.slice.call(arguments);
      args[2] = this.RGBA;
      return upload.apply(this, args);
    }
    return upload.apply(this, arguments);
  };
})();
