# Imports each BVH file with Blender's importer and its defaults, and checks
# at frame 1 that every bone's head is where the program put the joint's
# origin, and every leaf's tail where its segment ends: a point (x, y, z) of
# the file is Blender's (x, -z, y).
# Usage: blender -b --factory-startup -noaudio --python-exit-code 1 \
#          --python tests/bvh/blender_check.py -- FILE EXPECTED.json [FILE EXPECTED.json ...]
import builtins
import json
import sys

import bpy
import io_anim_bvh.import_bvh as import_bvh
from mathutils import Vector

TOLERANCE = 1e-4  # metres

# The importer opens files with the mode 'rU', which Python 3.11 refuses.
import_bvh.open = lambda file, mode='r', *a, **k: builtins.open(file, mode.replace('U', ''), *a, **k)

args = sys.argv[sys.argv.index('--') + 1:] if '--' in sys.argv else []
if not args or len(args) % 2:
    sys.exit('usage: blender ... --python blender_check.py -- FILE EXPECTED.json [FILE EXPECTED.json ...]')

problems = []
points = 0


def check(where, got, point):
    global points
    points += 1
    want = Vector((point[0], -point[2], point[1]))
    if (got - want).length > TOLERANCE:
        problems.append(f'{where}: Blender has {tuple(got)}, the program {tuple(want)}')


for bvh, expected in zip(args[0::2], args[1::2]):
    joints = json.load(open(expected))['joints']
    before = set(bpy.data.objects)
    bpy.ops.import_anim.bvh(filepath=bvh, axis_forward='-Z', axis_up='Y', rotate_mode='NATIVE', global_scale=1.0)
    arm = next(o for o in bpy.data.objects if o not in before and o.type == 'ARMATURE')
    bpy.context.scene.frame_set(1)
    bpy.context.view_layer.update()
    name = bvh.rsplit('/', 1)[-1]
    if len(arm.pose.bones) != len(joints):
        problems.append(f'{name}: {len(arm.pose.bones)} bones for {len(joints)} joints')
    for joint in joints:
        bone = arm.pose.bones.get(joint['name'])
        if bone is None:
            problems.append(f'{name}: no bone {joint["name"]}')
            continue
        check(f'{name} {joint["name"]}', arm.matrix_world @ bone.head, joint['origin'])
        if joint['end'] is not None:
            check(f'{name} {joint["name"]} end', arm.matrix_world @ bone.tail, joint['end'])

for p in problems:
    print('blender-check:', p)
print(f'blender-check: {len(args) // 2} files, {points} positions, {len(problems)} problems (tolerance {TOLERANCE} m)')
sys.exit(1 if problems else 0)
