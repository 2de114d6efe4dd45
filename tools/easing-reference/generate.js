// Writes the reference table of the easing curves, computed with the published
// formulas (the "penner" package), to tests/data/graphics/easing_reference.txt.
//   cd tools/easing-reference && npm install && node generate.js
// Each line: kind e b c d value   (value printed with 17 significant digits).
'use strict';
const fs = require('fs');
const path = require('path');
const penner = require('penner');

const names = [
  'linear',
  'easeInQuad', 'easeOutQuad', 'easeInOutQuad',
  'easeInCubic', 'easeOutCubic', 'easeInOutCubic',
  'easeInQuart', 'easeOutQuart', 'easeInOutQuart',
  'easeInQuint', 'easeOutQuint', 'easeInOutQuint',
  'easeInExpo', 'easeOutExpo', 'easeInOutExpo',
  'easeInCirc', 'easeOutCirc', 'easeInOutCirc',
  'easeInSine', 'easeOutSine', 'easeInOutSine',
  'easeInBack', 'easeOutBack', 'easeInOutBack',
  'easeInElastic', 'easeOutElastic', 'easeInOutElastic',
  'easeInBounce', 'easeOutBounce', 'easeInOutBounce',
];

// (b, c, d) sets and elapsed fractions strictly inside the duration, as the tweens use them.
const ranges = [[10, 200, 1000], [0, -150, 700], [-300, 1234, 333]];
const fractions = [0.001, 0.1, 0.25, 0.3, 0.37, 0.5, 0.55, 0.63, 0.75, 0.8, 0.92, 0.97, 0.999];

const lines = ['# kind e b c d value'];
names.forEach((name, kind) => {
  for (const [b, c, d] of ranges) {
    for (const f of fractions) {
      const e = Math.max(1, Math.min(d - 1, Math.round(f * d)));
      const v = penner[name](e, b, c, d);
      lines.push(`${kind} ${e} ${b} ${c} ${d} ${v.toPrecision(17)}`);
    }
  }
});
const out = path.join(__dirname, '..', '..', 'tests', 'data', 'graphics', 'easing_reference.txt');
fs.writeFileSync(out, lines.join('\n') + '\n');
console.log(`wrote ${lines.length - 1} values to ${out}`);
