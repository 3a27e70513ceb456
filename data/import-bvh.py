# Opens BVH files in Blender with its own importer, as File > Import > Motion
# Capture (.bvh) would, on a Blender whose importer cannot open files at all:
# Debian 12's Blender 3.4 opens them with the mode 'rU', which Python 3.11
# refuses ("ValueError: invalid mode: 'rU'"). Where the importer works, this
# changes nothing about it.
#
# Usage: blender --python /usr/share/mannequin/import-bvh.py -- FILE.bvh [FILE.bvh ...]
import builtins
import sys

import bpy
import io_anim_bvh.import_bvh as importer


def _open(file, mode='r', *args, **kwargs):
    return builtins.open(file, mode.replace('U', ''), *args, **kwargs)


def mend():
    """Lets the importer open files with the mode it asks for, less 'U'."""
    importer.open = _open


def import_bvh(path, **options):
    """Imports one file with the importer's defaults (or the options given)
    and returns the armature it made."""
    mend()
    before = set(bpy.data.objects)
    bpy.ops.import_anim.bvh(filepath=path, **options)
    return next((o for o in bpy.data.objects if o not in before and o.type == 'ARMATURE'), None)


if __name__ == '__main__':
    paths = sys.argv[sys.argv.index('--') + 1:] if '--' in sys.argv else []
    if not paths:
        print('usage: blender --python import-bvh.py -- FILE.bvh [FILE.bvh ...]', file=sys.stderr)
    for path in paths:
        try:
            import_bvh(path)
        except Exception as error:  # Blender stays open; the reason is shown
            print(f'import-bvh: {path}: {error}', file=sys.stderr)
