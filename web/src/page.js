// The layout page: the packed container in 3D, turned, zoomed and panned with mouse or touch.
// The program writes the layout as JSON into the element #tessera-layout; this script is
// bundled with three.js into the same file, so the page needs no server and no network.
import * as THREE from 'three';
import { OrbitControls } from 'three/examples/jsm/controls/OrbitControls.js';

// Colours are used as written (no sRGB conversion), so a lit face is its type colour times the
// light that falls on it. A Lambert surface reflects 1/pi of its irradiance, hence the factors
// of pi: a face turned to the sun shows its type colour itself.
THREE.ColorManagement.enabled = false;

const data = JSON.parse(document.getElementById('tessera-layout').textContent);

const viewport = document.getElementById('viewport');
const renderer = new THREE.WebGLRenderer({ antialias: true });
renderer.outputColorSpace = THREE.LinearSRGBColorSpace;
renderer.setPixelRatio(window.devicePixelRatio || 1);
renderer.setClearColor(0xffffff, 1);
viewport.appendChild(renderer.domElement);

const scene = new THREE.Scene();
scene.add(new THREE.AmbientLight(0xffffff, 0.45 * Math.PI));
const sun = new THREE.DirectionalLight(0xffffff, 0.55 * Math.PI);
sun.position.set(-0.4, -0.7, 1.0);
scene.add(sun);

const cMin = new THREE.Vector3(...data.container.min);
const cMax = new THREE.Vector3(...data.container.max);

// Container: its edges as a wire frame.
{
  const positions = [];
  for (const [a, b] of data.container.edges) positions.push(...a, ...b);
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.Float32BufferAttribute(positions, 3));
  scene.add(new THREE.LineSegments(geometry, new THREE.LineBasicMaterial({ color: 0x404040 })));
}

// Packing height: a translucent plane across the container.
const heightZ = data.containerBottom + data.packingHeight;
{
  const plane = new THREE.Mesh(
    new THREE.PlaneGeometry(cMax.x - cMin.x, cMax.y - cMin.y),
    new THREE.MeshBasicMaterial({
      color: 0xc800c8, transparent: true, opacity: 0.12, side: THREE.DoubleSide, depthWrite: false,
    }));
  plane.position.set((cMin.x + cMax.x) / 2, (cMin.y + cMax.y) / 2, heightZ);
  plane.name = 'packing-height';
  scene.add(plane);
  const rim = new THREE.LineSegments(new THREE.EdgesGeometry(plane.geometry),
    new THREE.LineBasicMaterial({ color: 0xc800c8 }));
  rim.position.copy(plane.position);
  scene.add(rim);
}

// Parts. A part that found no place stands in a row beside the container, washed out and
// outlined in red.
const partMeshes = [];
const gap = Math.max(cMax.x - cMin.x, cMax.y - cMin.y) * 0.1;
let besideX = cMax.x + gap;
const sceneBox = new THREE.Box3(cMin.clone(), cMax.clone());
data.parts.forEach((part, index) => {
  const geometry = new THREE.BufferGeometry();
  geometry.setAttribute('position', new THREE.Float32BufferAttribute(part.vertices, 3));
  geometry.setIndex(part.triangles);
  geometry.computeBoundingBox();
  const colour = new THREE.Color(data.types[part.type].colour);
  const material = new THREE.MeshLambertMaterial({ color: colour, flatShading: true });
  const mesh = new THREE.Mesh(geometry, material);
  mesh.userData.partIndex = index;
  if (!part.placed) {
    material.color.lerp(new THREE.Color(0xffffff), 0.5);
    const box = geometry.boundingBox;
    mesh.position.set(besideX - box.min.x, cMin.y - box.min.y, cMin.z - box.min.z);
    besideX += box.max.x - box.min.x + gap;
    const outline = new THREE.LineSegments(new THREE.EdgesGeometry(geometry, 20),
      new THREE.LineBasicMaterial({ color: 0xdc0000 }));
    mesh.add(outline);
  }
  mesh.updateMatrixWorld();
  sceneBox.union(geometry.boundingBox.clone().applyMatrix4(mesh.matrixWorld));
  scene.add(mesh);
  partMeshes.push(mesh);
});

// Camera: from the front-left and above, z up, framing the container and every part.
const camera = new THREE.PerspectiveCamera(40, 1, 0.1, 1000);
camera.up.set(0, 0, 1);
const centre = sceneBox.getCenter(new THREE.Vector3());
const radius = Math.max(sceneBox.getSize(new THREE.Vector3()).length() / 2, 1e-6);
const distance = radius / Math.sin(THREE.MathUtils.degToRad(camera.fov / 2));
camera.position.copy(centre).add(new THREE.Vector3(-0.55, -1.0, 0.65).normalize().multiplyScalar(distance));
camera.near = distance / 100;
camera.far = distance * 10;
camera.lookAt(centre);

const controls = new OrbitControls(camera, renderer.domElement);
controls.target.copy(centre);
controls.enableDamping = false;
controls.screenSpacePanning = true;
controls.update();
controls.saveState();

function render() {
  renderer.render(scene, camera);
}
controls.addEventListener('change', render);

function resize() {
  const width = viewport.clientWidth;
  const height = viewport.clientHeight;
  renderer.setSize(width, height, false);
  camera.aspect = width / Math.max(height, 1);
  camera.updateProjectionMatrix();
  render();
}
window.addEventListener('resize', resize);

// Picking: a click (a press and release without moving) shows the part under the pointer.
const raycaster = new THREE.Raycaster();
function pickAt(clientX, clientY) {
  const rect = renderer.domElement.getBoundingClientRect();
  const ndc = new THREE.Vector2(((clientX - rect.left) / rect.width) * 2 - 1,
    -((clientY - rect.top) / rect.height) * 2 + 1);
  raycaster.setFromCamera(ndc, camera);
  const hits = raycaster.intersectObjects(partMeshes.filter((m) => m.visible), false);
  return hits.length > 0 ? hits[0].object.userData.partIndex : -1;
}

const info = document.getElementById('part-info');
let selected = -1;
function select(index) {
  if (selected >= 0) partMeshes[selected].material.emissive.setHex(0x000000);
  selected = index;
  if (index < 0) {
    info.hidden = true;
    render();
    return;
  }
  const part = data.parts[index];
  partMeshes[index].material.emissive.setHex(0x333333);
  const rows = [
    ['Name', part.name], ['ID', String(part.id)], ['Type', data.types[part.type].name],
    ['Position', part.placed ? part.position.map(formatNumber).join(', ') : 'no place found'],
    ['Volume', formatNumber(part.volume)],
  ];
  info.replaceChildren(...rows.map(([label, value]) => {
    const row = document.createElement('div');
    const key = document.createElement('span');
    key.className = 'label';
    key.textContent = label + ': ';
    const text = document.createElement('span');
    text.className = 'value';
    text.dataset.field = label.toLowerCase();
    text.textContent = value;
    row.append(key, text);
    return row;
  }));
  info.hidden = false;
  render();
}

function formatNumber(value) {
  return Number.isInteger(value) ? String(value) : String(Number(value.toPrecision(6)));
}

let pressed = null;
renderer.domElement.addEventListener('pointerdown', (event) => {
  pressed = { x: event.clientX, y: event.clientY };
});
renderer.domElement.addEventListener('pointerup', (event) => {
  if (pressed && Math.hypot(event.clientX - pressed.x, event.clientY - pressed.y) < 5) {
    select(pickAt(event.clientX, event.clientY));
  }
  pressed = null;
});

// Summary, legend and the reset button.
document.getElementById('title').textContent = data.title;
document.getElementById('part-count').textContent = String(data.parts.length);
document.getElementById('placed-count').textContent =
  String(data.parts.filter((p) => p.placed).length);
document.getElementById('packing-height').textContent = data.packingHeightText;
document.getElementById('packing-density').textContent = data.packingDensityText;

const legend = document.getElementById('legend');
data.types.forEach((type, typeIndex) => {
  const item = document.createElement('li');
  const button = document.createElement('button');
  button.type = 'button';
  button.dataset.type = String(typeIndex);
  button.setAttribute('aria-pressed', 'true');
  const swatch = document.createElement('span');
  swatch.className = 'swatch';
  swatch.style.background = type.colour;
  const name = document.createElement('span');
  name.textContent = `${type.name} × ${type.count}`;
  button.append(swatch, name);
  button.addEventListener('click', () => {
    const shown = button.getAttribute('aria-pressed') !== 'true';
    button.setAttribute('aria-pressed', shown ? 'true' : 'false');
    partMeshes.forEach((mesh, i) => {
      if (data.parts[i].type === typeIndex) mesh.visible = shown;
    });
    if (!shown && selected >= 0 && data.parts[selected].type === typeIndex) select(-1);
    render();
  });
  item.append(button);
  legend.append(item);
});

document.getElementById('reset-view').addEventListener('click', () => {
  controls.reset();
  render();
});

// The search's progress: best and current packing height per iteration.
function drawProgress() {
  const canvas = document.getElementById('progress');
  const best = data.progress.best;
  const current = data.progress.current;
  if (best.length === 0) {
    document.getElementById('progress-panel').hidden = true;
    return;
  }
  const ctx = canvas.getContext('2d');
  const w = canvas.width;
  const h = canvas.height;
  const left = 44;
  const right = 8;
  const top = 8;
  const bottom = 20;
  // Iteration of each point: the program thins a long search's series (older pages: one a point).
  const iterations = data.progress.iterations || best.map((v, i) => i);
  // A loop, not Math.min(...values): spreading a long series overflows the call stack.
  let lo = Infinity;
  let hi = -Infinity;
  for (const v of best.concat(current)) {
    if (v < lo) lo = v;
    if (v > hi) hi = v;
  }
  if (hi - lo < 1e-9) {
    lo -= 1;
    hi += 1;
  }
  const last = iterations[iterations.length - 1];
  const n = Math.max(last, 1);
  const x = (i) => left + ((w - left - right) * iterations[i]) / n;
  const y = (v) => top + ((h - top - bottom) * (hi - v)) / (hi - lo);
  ctx.clearRect(0, 0, w, h);
  ctx.strokeStyle = '#999';
  ctx.strokeRect(left, top, w - left - right, h - top - bottom);
  ctx.fillStyle = '#333';
  ctx.font = '11px sans-serif';
  ctx.textAlign = 'right';
  ctx.fillText(formatNumber(hi), left - 4, top + 9);
  ctx.fillText(formatNumber(lo), left - 4, h - bottom);
  ctx.textAlign = 'center';
  ctx.fillText('0', left, h - 6);
  ctx.fillText(String(last), w - right, h - 6);
  const line = (values, colour, dash) => {
    ctx.strokeStyle = colour;
    ctx.lineWidth = 1.5;
    ctx.setLineDash(dash);
    ctx.beginPath();
    values.forEach((v, i) => (i === 0 ? ctx.moveTo(x(i), y(v)) : ctx.lineTo(x(i), y(v))));
    ctx.stroke();
  };
  // Current dashed over best, so that both show where they agree.
  line(best, '#0050c8', []);
  line(current, '#e08000', [4, 3]);
}
drawProgress();

resize();

// For tests and scripts: the meshes and where on the screen a part can be clicked.
window.tesseraPage = {
  meshCount: partMeshes.length,
  partCount: data.parts.length,
  pickAt,
  // A point on screen (client pixels) where the part is the first thing hit, or null.
  clickablePointOf(index) {
    const mesh = partMeshes[index];
    const position = mesh.geometry.getAttribute('position');
    const order = mesh.geometry.getIndex().array;
    const rect = renderer.domElement.getBoundingClientRect();
    for (let t = 0; t + 2 < order.length; t += 3) {
      const p = new THREE.Vector3();
      for (let k = 0; k < 3; ++k) p.add(new THREE.Vector3().fromBufferAttribute(position, order[t + k]));
      p.divideScalar(3).applyMatrix4(mesh.matrixWorld).project(camera);
      const cx = rect.left + ((p.x + 1) / 2) * rect.width;
      const cy = rect.top + ((1 - p.y) / 2) * rect.height;
      if (p.z < 1 && pickAt(cx, cy) === index) return { x: cx, y: cy };
    }
    return null;
  },
  ready: true,
};
