"""The reader's class files must load on a CLDC 1.0 / MIDP 1.0 phone: class
version 45.3 with StackMap attributes, no floating point, nothing outside the
phone API stubs, optional APIs only from the classes loaded after a run-time
check; and the java.* stubs must declare exactly the CLDC 1.0 members."""
import os
import re
import unittest

from classfile import BRANCH_OPCODES, FLOAT_OPCODES, ClassFile, opcodes

SOURCE = os.environ["PAGINOR_SOURCE_DIR"]
BUILD = os.environ["PAGINOR_BUILD_DIR"]
CLASS_DIR = os.path.join(BUILD, "reader", "classes")
API_DIR = os.path.join(BUILD, "reader", "api-classes")
READER_CLASSES = ["TBookCanvas", "TBookN1Canvas", "TBookN2Canvas", "TBookCanvasInit", "TBookMIDlet",
                  "TFont", "TLoadableFont", "TImage", "TLinkItem", "TSms"]

ACC_PUBLIC, ACC_PROTECTED, ACC_STATIC, ACC_FINAL, ACC_INTERFACE, ACC_ABSTRACT = \
    0x1, 0x4, 0x8, 0x10, 0x200, 0x400


def load(path):
    with open(path, "rb") as f:
        return ClassFile(f.read())


def java_types(descriptor):
    """'(I[BLjava/lang/String;)V' -> (['int', 'byte[]', 'java.lang.String'], 'void')."""
    names = {"B": "byte", "C": "char", "D": "double", "F": "float", "I": "int", "J": "long",
             "S": "short", "Z": "boolean", "V": "void"}
    out = []
    i = 0
    while i < len(descriptor):
        c = descriptor[i]
        if c in "()":
            out.append(c)
            i += 1
            continue
        dims = 0
        while descriptor[i] == "[":
            dims += 1
            i += 1
        if descriptor[i] == "L":
            end = descriptor.index(";", i)
            name = descriptor[i + 1:end].replace("/", ".")
            i = end + 1
        else:
            name = names[descriptor[i]]
            i += 1
        out.append(name + "[]" * dims)
    if out and out[0] == "(":
        close = out.index(")")
        return out[1:close], out[close + 1]
    return [], out[0]


def modifiers(access):
    words = []
    if access & ACC_PUBLIC:
        words.append("public")
    if access & ACC_PROTECTED:
        words.append("protected")
    if access & ACC_ABSTRACT:
        words.append("abstract")
    if access & ACC_STATIC:
        words.append("static")
    if access & ACC_FINAL:
        words.append("final")
    return " ".join(words)


class ReaderClassFiles(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.classes = {n: load(os.path.join(CLASS_DIR, n + ".class")) for n in READER_CLASSES}
        cls.stubs = {}
        for root, _, files in os.walk(API_DIR):
            for f in files:
                if f.endswith(".class"):
                    c = load(os.path.join(root, f))
                    cls.stubs[c.name] = c

    def test_version_45_3_with_stack_maps(self):
        for name, c in self.classes.items():
            self.assertEqual((c.major, c.minor), (45, 3), name)
            for m in c.methods:
                code = c.code(m)
                if code is None:
                    continue
                body, attrs, handlers = code
                needs_map = handlers > 0 or any(op in BRANCH_OPCODES for op in opcodes(body))
                if needs_map:
                    self.assertIn("StackMap", attrs, "%s.%s has no StackMap" % (name, m["name"]))

    def test_no_floating_point(self):
        for name, c in self.classes.items():
            for entry in c.pool:
                self.assertFalse(entry and entry[0] in (4, 6), "%s has a float or double constant" % name)
            descriptors = [m["descriptor"] for m in c.fields + c.methods]
            descriptors += [r[3] for r in c.references() if r[3]]
            for d in descriptors:
                params, result = java_types(d) if d.startswith("(") else ([], java_types(d)[1])
                for t in params + [result]:
                    self.assertNotIn(t.rstrip("[]"), ("float", "double"), "%s uses %s" % (name, d))
            for m in c.methods:
                code = c.code(m)
                if code:
                    bad = [hex(op) for op in opcodes(code[0]) if op in FLOAT_OPCODES]
                    self.assertEqual(bad, [], "%s.%s uses floating point" % (name, m["name"]))

    def test_fits_the_phone_budget_and_keeps_its_own_case_table(self):
        # Every midlet carries the classes: under 64 KB together.
        total = sum(os.path.getsize(os.path.join(CLASS_DIR, n + ".class")) for n in READER_CLASSES)
        self.assertLess(total, 64 * 1024)
        # CLDC 1.0 maps case in Latin-1 only: the search folds letters with
        # the reader's own table, never with Character's.
        for name, c in self.classes.items():
            for kind, owner, member, _ in c.references():
                self.assertFalse(owner == "java/lang/Character" and member in ("toLowerCase", "toUpperCase"),
                                 "%s uses Character.%s" % (name, member))

    def find_member(self, owner, kind, name, descriptor):
        """True when the stub class owner (or a supertype) declares the member."""
        seen = set()
        queue = [owner]
        while queue:
            cname = queue.pop()
            if cname in seen or cname not in self.stubs:
                continue
            seen.add(cname)
            stub = self.stubs[cname]
            members = stub.fields if kind == "field" else stub.methods
            if any(m["name"] == name and m["descriptor"] == descriptor for m in members):
                return True
            queue.extend(([stub.super_name] if stub.super_name else []) + stub.interfaces)
        return False

    def test_every_outside_reference_is_in_the_stubs(self):
        own = set(READER_CLASSES)
        for name, c in self.classes.items():
            for kind, owner, member, descriptor in c.references():
                base = owner.lstrip("[")
                if base.startswith("L"):
                    base = base[1:-1]
                if base in own or len(base) == 1:
                    continue
                if kind == "class":
                    self.assertIn(base, self.stubs, "%s uses %s" % (name, owner))
                    continue
                if owner in own:
                    # A member inherited from the phone's classes through our own class.
                    owner = self.classes[owner].super_name
                    while owner in own:
                        owner = self.classes[owner].super_name
                self.assertTrue(self.find_member(owner, kind, member, descriptor),
                                "%s uses %s.%s%s, which the phone API stubs lack"
                                % (name, owner, member, descriptor))

    def test_optional_apis_only_from_their_own_classes(self):
        allowed = {"com/nokia/": {"TBookN1Canvas"}, "javax/wireless/": {"TSms"}}
        midp2_members = {"setFullScreenMode", "platformRequest", "drawRegion"}
        for name, c in self.classes.items():
            for kind, owner, member, _ in c.references():
                for prefix, users in allowed.items():
                    if owner.startswith(prefix):
                        self.assertIn(name, users, "%s uses %s" % (name, owner))
                if member in midp2_members:
                    self.assertEqual(name, "TBookN2Canvas", "%s calls MIDP 2.0 %s" % (name, member))

    def test_cldc_stubs_declare_exactly_the_cldc_members(self):
        expected = set()
        owner = ""
        with open(os.path.join(SOURCE, "reader", "api", "cldc-1.0.txt")) as f:
            for line in f:
                if line.startswith("#") or not line.strip():
                    continue
                if not line.startswith(" "):
                    owner = line.split(" extends=")[0].split()[-1]
                expected.add(owner + ": " + re.sub(r"\s+", " ", line.strip()))
        actual = set()
        for cname, stub in self.stubs.items():
            if not (cname.startswith("java/") or cname.startswith("javax/microedition/io/")):
                continue
            dotted = cname.replace("/", ".")
            kind = "interface" if stub.access & ACC_INTERFACE else "class"
            mods = "public" if kind == "interface" else modifiers(stub.access & ~0x20)
            sup = "" if kind == "interface" or stub.super_name is None else stub.super_name.replace("/", ".")
            if sup == "java.lang.Object":
                sup = ""
            impl = ",".join(sorted(i.replace("/", ".") for i in stub.interfaces))
            def add(text):
                actual.add(dotted + ": " + text)

            add("%s %s %s extends=%s implements=%s" % (kind, mods, dotted, sup, impl))
            for m in stub.methods:
                if not m["access"] & (ACC_PUBLIC | ACC_PROTECTED) or m["name"] == "<clinit>":
                    continue
                params, result = java_types(m["descriptor"])
                if m["name"] == "<init>":
                    add("%s <init>(%s)" % (modifiers(m["access"]), ",".join(params)))
                else:
                    add("%s %s %s(%s)" % (modifiers(m["access"]), result, m["name"], ",".join(params)))
            for fld in stub.fields:
                if fld["access"] & (ACC_PUBLIC | ACC_PROTECTED):
                    add("%s %s %s" % (modifiers(fld["access"]), java_types(fld["descriptor"])[1],
                                             fld["name"]))
        self.assertEqual(sorted(actual - expected), [], "declared beyond CLDC 1.0")
        self.assertEqual(sorted(expected - actual), [], "missing from the stubs")


if __name__ == "__main__":
    unittest.main()
