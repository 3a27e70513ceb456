# Imports each BVH file with Blender's importer and its defaults, through the
# script the package ships (data/import-bvh.py), and checks at frame 1 that
# every bone's head is where the program put the joint's origin, and every
# leaf's tail where its segment ends: a point (x, y, z) of the file is
# Blender's (x, -z, y). A rig's file (its JSON names the figure's own export
# and pairs of joints) must put each paired bone's head where Blender puts the
# figure's joint, turned to face +Z: Blender's (x, y, z) becomes (-y, x, z).
# Usage: blender -b --factory-startup -noaudio --python-exit-code 1 \
#          --python tests/bvh/blender_check.py -- FILE EXPECTED.json [FILE EXPECTED.json ...]
import importlib.util
import json
import os
import sys

import bpy
from mathutils import Vector

TOLERANCE = 1e-4  # metres
ZERO_LENGTH = 0.001  # metres: the importer's own limit for a bone's length

# The shipped script, as a person runs it: MANNEQUIN_IMPORT_BVH names an
# installed one, otherwise the tree's.
script = os.environ.get('MANNEQUIN_IMPORT_BVH',
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), '../../data/import-bvh.py'))
spec = importlib.util.spec_from_file_location('import_bvh_script', script)
shipped = importlib.util.module_from_spec(spec)
spec.loader.exec_module(shipped)

args = sys.argv[sys.argv.index('--') + 1:] if '--' in sys.argv else []
if not args or len(args) % 2:
    sys.exit('usage: blender ... --python blender_check.py -- FILE EXPECTED.json [FILE EXPECTED.json ...]')

problems = []
points = 0
largest = 0.0
unchecked = 0  # ends too short for Blender to keep


def check(where, got, want):
    global points, largest
    points += 1
    largest = max(largest, (got - want).length)
    if (got - want).length > TOLERANCE:
        problems.append(f'{where}: Blender has {tuple(got)}, the program {tuple(want)}')


def in_blender(point):
    return Vector((point[0], -point[2], point[1]))


def armature(path):
    arm = shipped.import_bvh(path, axis_forward='-Z', axis_up='Y', rotate_mode='NATIVE', global_scale=1.0)
    bpy.context.scene.frame_set(1)
    bpy.context.view_layer.update()
    return arm


for bvh, expected in zip(args[0::2], args[1::2]):
    data = json.load(open(expected))
    name = bvh.rsplit('/', 1)[-1]
    arm = armature(bvh)
    if 'rig' in data:
        own = armature(os.path.join(os.path.dirname(bvh), data['rig']))
        for rig_joint, own_joint in data['pairs']:
            bone, theirs = arm.pose.bones.get(rig_joint), own.pose.bones.get(own_joint)
            if bone is None or theirs is None:
                problems.append(f'{name}: no bone {rig_joint} or {own_joint}')
                continue
            at = own.matrix_world @ theirs.head
            check(f'{name} {rig_joint}', arm.matrix_world @ bone.head, Vector((-at.y, at.x, at.z)))
        continue
    joints = data['joints']
    if len(arm.pose.bones) != len(joints):
        problems.append(f'{name}: {len(arm.pose.bones)} bones for {len(joints)} joints')
    for joint in joints:
        bone = arm.pose.bones.get(joint['name'])
        if bone is None:
            problems.append(f'{name}: no bone {joint["name"]}')
            continue
        check(f'{name} {joint["name"]}', arm.matrix_world @ bone.head, in_blender(joint['origin']))
        if joint['end'] is None:
            continue
        # The importer gives a bone of 1 mm or less a tail of its own, 0.1 up
        # in the file: that end is Blender's, not the file's.
        if (Vector(joint['end']) - Vector(joint['origin'])).length <= ZERO_LENGTH:
            unchecked += 1
            continue
        check(f'{name} {joint["name"]} end', arm.matrix_world @ bone.tail, in_blender(joint['end']))

for p in problems:
    print('blender-check:', p)
print(f'blender-check: {len(args) // 2} files, {points} positions, {len(problems)} problems '
      f'(tolerance {TOLERANCE} m), at most {largest:.3g} m off; {unchecked} ends of 1 mm or less left to Blender')
sys.exit(1 if problems else 0)
