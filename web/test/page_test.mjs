// The layout page in a real browser: runs the program on an example project, opens the page
// it wrote in headless Chromium with the network off, and checks what a user would see.
// Usage: node page_test.mjs TESSERA_BINARY EXAMPLE_FOLDER NODE_MODULES [CHROMIUM]
import { execFileSync } from 'node:child_process';
import { cpSync, mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [binary, example, nodeModules, chromiumPath = '/usr/bin/chromium'] = process.argv.slice(2);
if (!nodeModules) throw new Error('usage: node page_test.mjs TESSERA_BINARY EXAMPLE_FOLDER NODE_MODULES [CHROMIUM]');
const { chromium } = createRequire(resolve(nodeModules, '..', 'package.json'))('playwright-core');

const failures = [];
function check(ok, what) {
  console.log(`${ok ? 'ok  ' : 'FAIL'} ${what}`);
  if (!ok) failures.push(what);
}

// The run: the example in a scratch folder, a few iterations, no input.
const folder = mkdtempSync(join(tmpdir(), 'tessera-page-'));
for (const name of readdirSync(example)) {
  if (name.endsWith('.txt') && !name.startsWith('report') && !name.startsWith('ID_Type')) {
    cpSync(join(example, name), join(folder, name));
  }
}
execFileSync(resolve(binary), ['project.txt', '--iterations', '6'], { cwd: folder, stdio: ['ignore', 'ignore', 'inherit'] });

// What the page must agree with: the report's packing height, the project's parts and names.
const report = readFileSync(join(folder, 'report.txt'), 'latin1');
const reportHeight = /^Packing Height:(\S+)/m.exec(report)[1];
const project = readFileSync(join(folder, 'project.txt'), 'utf8').split(/\r?\n/);
let partCount = 0;
const names = new Set();
project.forEach((line, i) => {
  if (line === 'Copies') partCount += Number(project[i + 1]);
  if (line === 'Part') {
    const file = JSON.parse(project[i + 1]);
    names.add(readFileSync(join(folder, file), 'utf8').split(/\r?\n/)[2]);
  }
});

const browser = await chromium.launch({
  executablePath: chromiumPath,
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
});
try {
  const context = await browser.newContext({ viewport: { width: 1100, height: 700 }, deviceScaleFactor: 1 });
  await context.setOffline(true);
  const requests = [];
  await context.route('**/*', (route) => {
    const url = route.request().url();
    if (url.startsWith('file:') || url.startsWith('data:')) return route.continue();
    requests.push(url);
    return route.abort();
  });
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (message) => {
    if (message.type() === 'error') errors.push(message.text());
  });
  await page.goto(pathToFileURL(join(folder, 'Layout_zodedez.html')).href);
  await page.waitForFunction(() => window.tesseraPage && window.tesseraPage.ready, null, { timeout: 30000 });

  check(errors.length === 0, `no script errors ${JSON.stringify(errors)}`);
  check(requests.length === 0, `no network requests ${JSON.stringify(requests)}`);
  const meshCount = await page.evaluate(() => window.tesseraPage.meshCount);
  check(meshCount === partCount, `one mesh per part: ${meshCount} meshes, ${partCount} parts`);
  const shownCount = await page.textContent('#part-count');
  check(shownCount === String(partCount), `part count shown ${shownCount} = ${partCount}`);
  const shownHeight = await page.textContent('#packing-height');
  check(shownHeight === reportHeight, `packing height shown ${shownHeight} = report's ${reportHeight}`);

  // Where each part can be seen, with its type and colour from the page's data.
  const parts = await page.evaluate(() => {
    const data = JSON.parse(document.getElementById('tessera-layout').textContent);
    return data.parts.map((part, i) => ({
      index: i, type: part.type, name: part.name, id: part.id, colour: data.types[part.type].colour,
      point: window.tesseraPage.clickablePointOf(i),
    }));
  });

  // The type colours where the parts are, in a screenshot decoded by the browser itself.
  const shot = await page.screenshot({ type: 'png' });
  if (process.env.TESSERA_PAGE_SCREENSHOT) writeFileSync(process.env.TESSERA_PAGE_SCREENSHOT, shot);
  const colours = [...new Set(parts.map((p) => p.colour))];
  const visible = parts.filter((p) => p.point);
  check(visible.length > 0, `${visible.length} parts visible`);
  const pixels = await decodePixels(context, shot, visible.map((p) => p.point));
  const seenColours = new Set();
  visible.forEach((part, i) => {
    const nearest = nearestByHue(pixels[i], colours);
    if (nearest === part.colour) seenColours.add(part.colour);
    check(nearest === part.colour,
      `part ${part.id} (${part.name}) shows its type colour ${part.colour}: pixel ${pixels[i]}`);
  });
  const visibleColours = new Set(visible.map((p) => p.colour));
  check(seenColours.size === visibleColours.size, `every visible type's colour seen (${[...seenColours]})`);

  // A click on a known part shows its name and ID.
  const target = visible[0];
  await page.mouse.click(target.point.x, target.point.y);
  const shownName = await page.textContent('#part-info [data-field="name"]');
  const shownId = await page.textContent('#part-info [data-field="id"]');
  check(shownName === target.name && names.has(shownName), `click shows the part's name ${shownName}`);
  check(shownId === String(target.id), `click shows the part's ID ${shownId}`);

  // The legend hides a type's parts and shows them again.
  const typeButton = page.locator(`#legend button[data-type="${target.type}"]`);
  await typeButton.click();
  const hiddenPick = await page.evaluate(({ x, y }) => window.tesseraPage.pickAt(x, y), target.point);
  await typeButton.click();
  const shownPick = await page.evaluate(({ x, y }) => window.tesseraPage.pickAt(x, y), target.point);
  check(hiddenPick !== target.index, `a legend click hides the part's type (pick gave ${hiddenPick})`);
  check(shownPick === target.index, 'a second legend click shows it again');

  check(errors.length === 0, `still no script errors ${JSON.stringify(errors)}`);

  // A long search: a chart of more values than one call may take as arguments, as a page of
  // an earlier version holds them (the program itself now thins its series).
  const html = readFileSync(join(folder, 'Layout_zodedez.html'), 'utf8');
  const open = '<script id="tessera-layout" type="application/json">';
  const start = html.indexOf(open) + open.length;
  const end = html.indexOf('</script>', start);
  const long = JSON.parse(html.slice(start, end));
  const count = 140002;
  long.progress = {
    best: Array.from({ length: count }, (v, i) => 30 - (10 * i) / count),
    current: Array.from({ length: count }, (v, i) => 30 - (10 * i) / count + (i % 7)),
  };
  writeFileSync(join(folder, 'long.html'),
    html.slice(0, start) + JSON.stringify(long).replace(/</g, '\\u003c') + html.slice(end));
  const longPage = await context.newPage();
  const longErrors = [];
  longPage.on('pageerror', (error) => longErrors.push(String(error)));
  await longPage.goto(pathToFileURL(join(folder, 'long.html')).href);
  const ready = await longPage.waitForFunction(() => window.tesseraPage && window.tesseraPage.ready,
    null, { timeout: 30000 }).then(() => true, () => false);
  check(ready && longErrors.length === 0, `a chart of ${count} iterations loads without errors ${JSON.stringify(longErrors)}`);
  const bestPixels = await longPage.evaluate(() => {
    const canvas = document.getElementById('progress');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let n = 0;
    for (let i = 0; i < pixels.length; i += 4) {
      if (Math.abs(pixels[i] - 0x00) < 40 && Math.abs(pixels[i + 1] - 0x50) < 40 && Math.abs(pixels[i + 2] - 0xc8) < 40) n += 1;
    }
    return n;
  });
  check(bestPixels > 100, `the long chart draws its best curve (${bestPixels} pixels)`);
} finally {
  await browser.close();
  rmSync(folder, { recursive: true, force: true });
}

if (failures.length > 0) {
  console.log(`${failures.length} check(s) failed`);
  process.exit(1);
}
console.log('all checks passed');

/// RGB at each point of a PNG, decoded in a blank page of the same browser.
async function decodePixels(context, png, points) {
  const page = await context.newPage();
  try {
    return await page.evaluate(async ({ data, at }) => {
      const image = new Image();
      image.src = `data:image/png;base64,${data}`;
      await image.decode();
      const canvas = document.createElement('canvas');
      canvas.width = image.width;
      canvas.height = image.height;
      const ctx = canvas.getContext('2d');
      ctx.drawImage(image, 0, 0);
      return at.map(({ x, y }) => Array.from(ctx.getImageData(Math.floor(x), Math.floor(y), 1, 1).data.slice(0, 3)));
    }, { data: png.toString('base64'), at: points });
  } finally {
    await page.close();
  }
}

function hue([r, g, b]) {
  const max = Math.max(r, g, b);
  const min = Math.min(r, g, b);
  if (max === min) return NaN;
  let h;
  if (max === r) h = ((g - b) / (max - min)) % 6;
  else if (max === g) h = (b - r) / (max - min) + 2;
  else h = (r - g) / (max - min) + 4;
  return (h * 60 + 360) % 360;
}

/// The colour among candidates (#rrggbb) whose hue is nearest the pixel's; null for a grey.
function nearestByHue(pixel, candidates) {
  const h = hue(pixel);
  if (Number.isNaN(h) || Math.max(...pixel) - Math.min(...pixel) < 30) return null;
  let best = null;
  let bestDistance = Infinity;
  for (const colour of candidates) {
    const c = [1, 3, 5].map((k) => parseInt(colour.slice(k, k + 2), 16));
    const d = Math.abs(((hue(c) - h + 540) % 360) - 180);
    if (d < bestDistance) {
      bestDistance = d;
      best = colour;
    }
  }
  return bestDistance <= 20 ? best : null;
}
