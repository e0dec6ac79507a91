// Renders SVG files to PNG with the resvg renderer's Node binding, for the
// side-by-side timing in bench/peers.sh.
//
//   node bench/resvg-render.mjs WIDTH HEIGHT IN.svg OUT.png
//   node bench/resvg-render.mjs WIDTH HEIGHT --batch LIST OUTDIR
//
// The first form renders one file (one process per file); the second renders
// every file named in LIST (one path per line) into OUTDIR/NAME.png in one
// process. The root element's width and height are set to WIDTH x HEIGHT, so
// that every tool paints the same raster: the drawing is fitted into it by
// its viewBox, as the other tools do with an exact raster size.
import { readFileSync, writeFileSync } from 'node:fs';
import { basename } from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const { Resvg } = require('@resvg/resvg-js');

// The root start tag with its own width and height replaced.
function withRasterSize(text, width, height) {
  const start = text.search(/<svg[\s>]/);
  if (start < 0) return text;
  const end = text.indexOf('>', start);
  if (end < 0) return text;
  const tag = text
    .slice(start, end)
    .replace(/\s(width|height)\s*=\s*("[^"]*"|'[^']*')/g, '');
  return `${text.slice(0, start)}${tag} width="${width}" height="${height}"${text.slice(end)}`;
}

function render(input, output, width, height) {
  const svg = withRasterSize(readFileSync(input, 'utf8'), width, height);
  const resvg = new Resvg(svg, { font: { loadSystemFonts: false } });
  writeFileSync(output, resvg.render().asPng());
}

const [width, height, ...rest] = process.argv.slice(2);
if (!width || !height || rest.length < 2) {
  console.error('usage: resvg-render.mjs WIDTH HEIGHT (IN.svg OUT.png | --batch LIST OUTDIR)');
  process.exit(2);
}
let failed = 0;
if (rest[0] === '--batch') {
  const list = readFileSync(rest[1], 'utf8').split('\n').filter((line) => line.length > 0);
  for (const input of list) {
    try {
      render(input, `${rest[2]}/${basename(input, '.svg')}.png`, width, height);
    } catch (error) {
      console.error(`${input}: ${error.message}`);
      failed += 1;
    }
  }
} else {
  try {
    render(rest[0], rest[1], width, height);
  } catch (error) {
    console.error(`${rest[0]}: ${error.message}`);
    failed = 1;
  }
}
process.exit(failed > 0 ? 1 : 0);
