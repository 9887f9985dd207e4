#!/usr/bin/python3
"""Reads a DXF drawing with ezdxf and prints what the tests check, as JSON.

Usage: dump_dxf.py FILE

Prints {"audit_errors": [...], "insunits": n, "layers": [...], "lines": [...], "texts": [...],
"hatches": n}. Each line is a polyline of the model space with its layer, its kind ("lw" or "3d"),
whether it is closed and its points as [x, y, z]; each text has its layer, position, height,
rotation and text. Exit status 2 when ezdxf cannot be imported (use Debian's /usr/bin/python3),
1 when the file cannot be read.
"""

import json
import sys

try:
    import ezdxf
except ImportError:
    sys.exit(2)


def main():
    try:
        doc = ezdxf.readfile(sys.argv[1])
    except (IOError, ezdxf.DXFError) as error:
        print(error, file=sys.stderr)
        return 1
    auditor = doc.audit()
    out = {
        "audit_errors": [e.message for e in auditor.errors],
        "insunits": doc.header.get("$INSUNITS"),
        "layers": [layer.dxf.name for layer in doc.layers],
        "lines": [],
        "texts": [],
        "hatches": len(doc.modelspace().query("HATCH")),
    }
    for e in doc.modelspace():
        kind = e.dxftype()
        if kind == "LWPOLYLINE":
            z = e.dxf.elevation
            out["lines"].append({"layer": e.dxf.layer, "kind": "lw", "closed": e.closed,
                                 "points": [[x, y, z] for x, y in e.get_points("xy")]})
        elif kind == "POLYLINE":
            out["lines"].append({"layer": e.dxf.layer,
                                 "kind": "3d" if e.is_3d_polyline else "2d",
                                 "closed": e.is_closed,
                                 "points": [list(v.dxf.location) for v in e.vertices]})
        elif kind == "TEXT":
            out["texts"].append({"layer": e.dxf.layer, "at": list(e.dxf.insert),
                                 "height": e.dxf.height, "rotation": e.dxf.rotation,
                                 "text": e.dxf.text})
    print(json.dumps(out))
    return 0


if __name__ == "__main__":
    sys.exit(main())
