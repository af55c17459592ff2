# File > Import > Compound model (.cmp): a written file read back through cmpinfo's glTF,
# to compare it with its source in Blender.
import os
import tempfile

import bpy
from mathutils import Vector

from . import programs


def _count(number, one, many):
    return "%d %s" % (number, one if number == 1 else many)


# The hardpoints' arrows are drawn this long against the model's largest dimension.
_HARDPOINT_ARROW_SHARE = 0.1


def _name_model(imported):
    """The file's mesh part is named "<model>.lod0.vms": its object gets the model's name
    back, which an export then names the file's nodes after."""
    for obj in imported:
        if obj.type == "MESH" and ".lod" in obj.name:
            obj.name = obj.name[:obj.name.index(".lod")]


def _restore_material_names(imported, materials_before):
    """A file keeps only each material's identifier, the hash of its name; a material of
    the scene whose name hashes to it takes the imported one's place, so that the next
    export writes the same identifier again rather than the hash of the identifier's
    text."""
    by_id = {}
    for material in materials_before:
        by_id.setdefault(name_id(material.name), material)
    for obj in imported:
        for slot in getattr(obj, "material_slots", []):
            found = slot.material
            if found is None or found in materials_before:
                continue
            if not found.name.startswith("0x"):
                continue
            try:
                identifier = int(found.name.split(".")[0], 16)
            except ValueError:
                continue
            # Identifier 0 is a mesh without a material, which stays without one.
            if identifier == 0 or identifier in by_id:
                slot.material = by_id[identifier] if identifier else None
                if found.users == 0:
                    bpy.data.materials.remove(found)


def _mark_hardpoints(imported):
    """cmpinfo writes each hardpoint as an empty node, its name the hardpoint's and its
    kind in the extras (a custom property here): named again as an export reads them
    (Hp_Fixed_<name>, Hp_Revolute_<name>) and shown as arrows a tenth of the model's
    size, whatever the scale above them. Gives how many there are."""
    # The model's extent in the world: the meshes hang under the file's root, which scales
    # them back to the model's size.
    corners = [obj.matrix_world @ Vector(corner) for obj in imported if obj.type == "MESH"
               for corner in obj.bound_box]
    size = max((max(c[axis] for c in corners) - min(c[axis] for c in corners)
                for axis in range(3)), default=0.0) if corners else 0.0
    hardpoints = 0
    for obj in imported:
        if obj.type != "EMPTY" or "kind" not in obj.keys():
            continue
        obj.name = "Hp_%s_%s" % (obj["kind"], obj.name)
        obj.empty_display_type = "ARROWS"
        scale = max(abs(value) for value in obj.matrix_world.to_scale()) or 1.0
        obj.empty_display_size = (size * _HARDPOINT_ARROW_SHARE or 1.0) / scale
        hardpoints += 1
    return hardpoints


def _name_id_table():
    # The format's table: the reflected CRC-32 recurrence with an arithmetic shift, so a
    # 1-bit the XOR puts at the top is copied downwards by every later shift.
    table = []
    for n in range(256):
        c = n
        for _ in range(8):
            if c & 1:
                c = ((c >> 1) & 0xFFFFFFFF) ^ 0xEDB88320
                c = c - (1 << 32) if c & 0x80000000 else c
            else:
                c >>= 1
        table.append(c & 0xFFFFFFFF)
    return table


_NAME_ID_TABLE = _name_id_table()


def name_id(name):
    """The identifier the file gives a name (a material's): letters A to Z folded to
    lower case, the name's UTF-8 bytes hashed."""
    h = 0xFFFFFFFF
    for byte in name.encode("utf-8"):
        if 0x41 <= byte <= 0x5A:
            byte += 0x20
        h = (h >> 8) ^ _NAME_ID_TABLE[(byte ^ h) & 0xFF]
    return ~h & 0xFFFFFFFF


def load(context, source, configured_path=""):
    """Imports the file `source`, with cmpinfo found beside the configured modelhost
    (programs.find_program); returns the reports, as (level, text) pairs."""
    cmpinfo = programs.find_program("cmpinfo", configured_path)
    unfit = programs.unfit_for_programs(source)
    if unfit is not None:
        return [("ERROR", "%s: rename it or its folder to import it" % unfit)]
    with tempfile.TemporaryDirectory(prefix="cmpexport-",
                                     dir=programs.work_folder_parent(source)) as folder:
        model = os.path.join(folder, "model.glb")
        status, _, errors = programs.run([cmpinfo, "--gltf", model, source], folder)
        if status != 0:
            return [("ERROR", line[len("cmpinfo: "):] if line.startswith("cmpinfo: ") else line)
                    for line in errors.splitlines() if line.strip()] or [
                ("ERROR", "cmpinfo could not read %s (status %d)" % (source, status))]
        # Blender 3.4's glTF add-on still uses numpy.bool, which numpy 1.24 removed; the
        # alias must be back before that add-on's import code runs.
        import numpy
        if "bool" not in vars(numpy):
            numpy.bool = bool
        materials_before = set(bpy.data.materials)
        bpy.ops.import_scene.gltf(filepath=model)
        imported = list(context.selected_objects)
        _name_model(imported)
        _restore_material_names(imported, materials_before)
        hardpoints = _mark_hardpoints(imported)
        meshes = sum(1 for obj in imported if obj.type == "MESH")
        return [("INFO", "Imported %s: %s, %s" % (os.path.basename(source),
                                                  _count(meshes, "mesh", "meshes"),
                                                  _count(hardpoints, "hardpoint", "hardpoints")))]
