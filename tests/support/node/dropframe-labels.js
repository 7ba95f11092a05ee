// Prints the 29.97 drop-frame label of every frame of a day, one "HH:MM:SS:FF" a line.
const Timecode = require('smpte-timecode');
const frames = Timecode('23:59:59;29', 29.97, true).frameCount + 1;
const out = [];
for (let n = 0; n < frames; ++n) {
  out.push(Timecode(n, 29.97, true).toString().replace(';', ':'));
  if (out.length === 65536) { process.stdout.write(out.join('\n') + '\n'); out.length = 0; }
}
process.stdout.write(out.join('\n') + (out.length ? '\n' : ''));
