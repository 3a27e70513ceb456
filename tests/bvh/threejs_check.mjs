// Reads each FOLDER/NAME.bvh with three.js's BVHLoader and compares every
// bone's world position at frame 0 with FOLDER/NAME.json, the joint origins
// and leaf ends that the program worked out from its own frames.
// Usage: node threejs_check.mjs FOLDER
import { readFileSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { Vector3 } from 'three';
import { BVHLoader } from 'three/examples/jsm/loaders/BVHLoader.js';

const tolerance = 1e-5; // metres
const folder = process.argv[2];
const problems = [];
let files = 0;
let points = 0;

function compare(where, bone, expected) {
  const got = bone.getWorldPosition(new Vector3());
  const off = Math.max(...[got.x, got.y, got.z].map((v, k) => Math.abs(v - expected[k])));
  points += 1;
  if (!(off <= tolerance)) problems.push(`${where}: three.js has ${got.toArray()}, the program ${expected} (off by ${off} m)`);
}

// The rigs' files are Blender's to check against the figure's own.
for (const file of readdirSync(folder).filter((f) => f.endsWith('.bvh') && !f.startsWith('rig_')).sort()) {
  files += 1;
  const name = file.slice(0, -'.bvh'.length);
  const expected = JSON.parse(readFileSync(join(folder, `${name}.json`), 'utf8')).joints;
  const { skeleton, clip } = new BVHLoader().parse(readFileSync(join(folder, file), 'utf8'));
  // Frame 0: every track's first key set on its bone.
  for (const track of clip.tracks) {
    const dot = track.name.lastIndexOf('.');
    skeleton.getBoneByName(track.name.slice(0, dot))[track.name.slice(dot + 1)].fromArray(track.values, 0);
  }
  skeleton.bones[0].updateMatrixWorld(true);
  const joints = skeleton.bones.filter((b) => b.name !== 'ENDSITE');
  const names = joints.map((b) => b.name).join(' ');
  const wanted = expected.map((j) => j.name).join(' ');
  if (names !== wanted) {
    problems.push(`${name}: three.js has the joints ${names}, the program ${wanted}`);
    continue;
  }
  joints.forEach((bone, i) => {
    compare(`${name} ${bone.name}`, bone, expected[i].origin);
    const ends = bone.children.filter((b) => b.name === 'ENDSITE');
    if (ends.length !== (expected[i].end ? 1 : 0)) {
      problems.push(`${name} ${bone.name}: ${ends.length} end sites`);
    } else if (ends.length) {
      compare(`${name} ${bone.name} end`, ends[0], expected[i].end);
    }
  });
}

for (const p of problems) console.log(p);
console.log(`three.js: ${files} files, ${points} positions, ${problems.length} problems (tolerance ${tolerance} m)`);
process.exit(files > 0 && problems.length === 0 ? 0 : 1);
