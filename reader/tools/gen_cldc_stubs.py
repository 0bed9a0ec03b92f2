#!/usr/bin/env python3
"""Writes the CLDC 1.0 compile-time stubs (java.*, javax.microedition.io) and
the member list that the stub check compares against.

Input: a CLDC 1.0 signature list in XML (one <class>/<interface> element per
type, with constructors, methods, fields and their modifiers). Output: one
signature-only .java file per type under reader/api, and reader/api/cldc-1.0.txt,
one line per public or protected member. Run it again only when the list
changes; the generated files are committed.

    gen_cldc_stubs.py SIGNATURE.xml reader/api
"""
import os
import sys
import xml.etree.ElementTree as ET


def java_type(t):
    return t


def params(elem):
    return [p.get("type") for p in elem.findall("parameter")]


def throws(elem):
    ex = [e.get("name") for e in elem.findall("exception")]
    return (" throws " + ", ".join(ex)) if ex else ""


def default_return(t):
    if t == "void":
        return ""
    if t == "boolean":
        return " return false;"
    if t in ("int", "long", "short", "byte", "char"):
        return " return 0;"
    return " return null;"


def literal(t, v):
    if t == "long":
        if v == "-9223372036854775808":
            return "0x8000000000000000L"
        return v + "L"
    if t == "int" and v == "-2147483648":
        return "0x80000000"
    if t == "char":
        return "(char) " + v
    if t in ("short", "byte"):
        return "(%s) %s" % (t, v)
    if t == "java.lang.String":
        return '"' + v + '"'
    return v


def member_lines(elem, name):
    """The member list entries of one type (public and protected only)."""
    out = []
    kind = "interface" if elem.tag == "interface" else "class"
    sup = elem.get("extends", "")
    impl = [i.get("name") for i in elem.findall("implements/interface")]
    out.append("%s %s %s extends=%s implements=%s" % (
        kind, elem.get("modifiers"), name, sup, ",".join(sorted(impl))))
    for c in elem.findall("constructor"):
        out.append("  %s <init>(%s)" % (c.get("modifiers"), ",".join(params(c))))
    for m in elem.findall("method"):
        mods = m.get("modifiers").replace(" strictfp", "")
        out.append("  %s %s %s(%s)" % (mods, m.get("return"), m.get("name"),
                                       ",".join(params(m))))
    for f in elem.findall("field"):
        out.append("  %s %s %s" % (f.get("modifiers"), f.get("type"), f.get("name")))
    return out


def write_type(elem, root_dir):
    full = elem.get("name")
    pkg, _, simple = full.rpartition(".")
    is_iface = elem.tag == "interface"
    mods = elem.get("modifiers")
    lines = ["// Compile-time stub generated from the CLDC 1.0 member list.",
             "// Signatures only: the phone supplies the real class.",
             "package %s;" % pkg, ""]
    impl = [i.get("name") for i in elem.findall("implements/interface")]
    head = "%s %s %s" % (mods, "interface" if is_iface else "class", simple)
    if is_iface:
        if impl:
            head += " extends " + ", ".join(impl)
    else:
        if elem.get("extends"):
            head += " extends " + elem.get("extends")
        if impl:
            head += " implements " + ", ".join(impl)
    lines.append(head + " {")
    ctors = elem.findall("constructor")
    if not is_iface and not ctors:
        # Not part of the API: lets same-package stubs extend this one.
        lines.append("    %s() {}" % simple)
    for i, c in enumerate(ctors):
        args = ", ".join("%s a%d" % (t, k) for k, t in enumerate(params(c)))
        lines.append("    %s %s(%s)%s {}" % (c.get("modifiers"), simple, args, throws(c)))
    for m in elem.findall("method"):
        mods_m = m.get("modifiers").replace(" strictfp", "")
        args = ", ".join("%s a%d" % (t, k) for k, t in enumerate(params(m)))
        sig = "%s %s %s(%s)%s" % (mods_m, m.get("return"), m.get("name"), args, throws(m))
        if is_iface or "abstract" in mods_m:
            lines.append("    %s;" % sig)
        else:
            lines.append("    %s {%s }" % (sig, default_return(m.get("return"))))
    for f in elem.findall("field"):
        val = f.get("constant-value")
        decl = "    %s %s %s" % (f.get("modifiers"), f.get("type"), f.get("name"))
        if val is not None:
            decl += " = " + literal(f.get("type"), val)
        elif "final" in f.get("modifiers"):
            decl += " = null"
        lines.append(decl + ";")
    lines.append("}")
    path = os.path.join(root_dir, *pkg.split("."), simple + ".java")
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as out:
        out.write("\n".join(lines) + "\n")


def main():
    xml_path, root_dir = sys.argv[1], sys.argv[2]
    tree = ET.parse(xml_path)
    listing = []
    for elem in tree.getroot():
        if elem.tag not in ("class", "interface"):
            continue
        write_type(elem, root_dir)
        listing.extend(member_lines(elem, elem.get("name")))
    with open(os.path.join(root_dir, "cldc-1.0.txt"), "w") as out:
        out.write("# CLDC 1.0: every public and protected type and member.\n")
        out.write("\n".join(listing) + "\n")


if __name__ == "__main__":
    main()
