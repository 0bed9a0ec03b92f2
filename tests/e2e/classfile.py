"""A small reader of Java class files for the reader's checks: constant pool,
fields, methods with their code and attributes, and an instruction walker."""
import struct

# Opcodes that use float or double values.
FLOAT_OPCODES = ({0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x17, 0x18, 0x30, 0x31, 0x38, 0x39, 0x51, 0x52}
                 | set(range(0x22, 0x2a))       # fload_n, dload_n
                 | set(range(0x43, 0x4b))       # fstore_n, dstore_n
                 | {0x62, 0x63, 0x66, 0x67, 0x6a, 0x6b, 0x6e, 0x6f, 0x72, 0x73, 0x76, 0x77}
                 | {0x86, 0x87, 0x89, 0x8a, 0x8b, 0x8c, 0x8d, 0x8e, 0x8f, 0x90}  # conversions
                 | {0x95, 0x96, 0x97, 0x98, 0xae, 0xaf})  # compares, returns
# Branch instructions (a method that has any needs a StackMap on CLDC).
BRANCH_OPCODES = set(range(0x99, 0xaa)) | {0xaa, 0xab, 0xc6, 0xc7, 0xc8, 0xc9}

# Operand lengths of the fixed-size instructions (all others have none).
_OPERANDS = {0x10: 1, 0x11: 2, 0x12: 1, 0x13: 2, 0x14: 2, 0x15: 1, 0x16: 1, 0x17: 1, 0x18: 1,
             0x19: 1, 0x36: 1, 0x37: 1, 0x38: 1, 0x39: 1, 0x3a: 1, 0x84: 2, 0xa9: 1,
             0xb2: 2, 0xb3: 2, 0xb4: 2, 0xb5: 2, 0xb6: 2, 0xb7: 2, 0xb8: 2, 0xb9: 4, 0xbb: 2,
             0xbc: 1, 0xbd: 2, 0xc0: 2, 0xc1: 2, 0xc5: 3, 0xc8: 4, 0xc9: 4}
for _op in range(0x99, 0xa9):
    _OPERANDS[_op] = 2
_OPERANDS[0xc6] = _OPERANDS[0xc7] = 2


class ClassFile:
    def __init__(self, data):
        self.data = data
        magic, self.minor, self.major, count = struct.unpack_from(">IHHH", data, 0)
        if magic != 0xCAFEBABE:
            raise ValueError("not a class file")
        self.pool = [None] * count
        pos = 10
        k = 1
        while k < count:
            tag = data[pos]
            if tag == 1:
                n = struct.unpack_from(">H", data, pos + 1)[0]
                self.pool[k] = (1, data[pos + 3:pos + 3 + n].decode("utf-8", "replace"))
                pos += 3 + n
            elif tag in (3, 4):
                self.pool[k] = (tag, data[pos + 1:pos + 5])
                pos += 5
            elif tag in (5, 6):
                self.pool[k] = (tag, data[pos + 1:pos + 9])
                pos += 9
                k += 1
            elif tag in (7, 8):
                self.pool[k] = (tag, struct.unpack_from(">H", data, pos + 1)[0])
                pos += 3
            elif tag in (9, 10, 11, 12):
                self.pool[k] = (tag,) + struct.unpack_from(">HH", data, pos + 1)
                pos += 5
            else:
                raise ValueError("constant tag %d" % tag)
            k += 1
        self.access, this_index, super_index = struct.unpack_from(">HHH", data, pos)
        self.name = self.class_name(this_index)
        self.super_name = self.class_name(super_index) if super_index else None
        pos += 6
        n = struct.unpack_from(">H", data, pos)[0]
        self.interfaces = [self.class_name(struct.unpack_from(">H", data, pos + 2 + 2 * i)[0])
                           for i in range(n)]
        pos += 2 + 2 * n
        self.fields, pos = self._members(pos)
        self.methods, pos = self._members(pos)

    def utf8(self, index):
        return self.pool[index][1]

    def class_name(self, index):
        return self.utf8(self.pool[index][1])

    def _attributes(self, pos):
        n = struct.unpack_from(">H", self.data, pos)[0]
        pos += 2
        attrs = {}
        for _ in range(n):
            name_index, length = struct.unpack_from(">HI", self.data, pos)
            attrs[self.utf8(name_index)] = self.data[pos + 6:pos + 6 + length]
            pos += 6 + length
        return attrs, pos

    def _members(self, pos):
        n = struct.unpack_from(">H", self.data, pos)[0]
        pos += 2
        out = []
        for _ in range(n):
            access, name_index, desc_index = struct.unpack_from(">HHH", self.data, pos)
            attrs, pos = self._attributes(pos + 6)
            out.append({"access": access, "name": self.utf8(name_index),
                        "descriptor": self.utf8(desc_index), "attributes": attrs})
        return out, pos

    def code(self, method):
        """(bytecode, code attributes) of a method, or None."""
        raw = method["attributes"].get("Code")
        if raw is None:
            return None
        length = struct.unpack_from(">I", raw, 4)[0]
        code = raw[8:8 + length]
        pos = 8 + length
        handlers = struct.unpack_from(">H", raw, pos)[0]
        pos += 2 + 8 * handlers
        n = struct.unpack_from(">H", raw, pos)[0]
        pos += 2
        attrs = {}
        for _ in range(n):
            name_index, alen = struct.unpack_from(">HI", raw, pos)
            attrs[self.utf8(name_index)] = raw[pos + 6:pos + 6 + alen]
            pos += 6 + alen
        return code, attrs, handlers

    def references(self):
        """Every (kind, owner, name, descriptor) of field and method references,
        and ('class', name, '', '') of class constants."""
        out = []
        for entry in self.pool:
            if entry is None:
                continue
            if entry[0] == 7:
                out.append(("class", self.utf8(entry[1]), "", ""))
            elif entry[0] in (9, 10, 11):
                owner = self.class_name(entry[1])
                nat = self.pool[entry[2]]
                out.append(({9: "field", 10: "method", 11: "imethod"}[entry[0]], owner,
                            self.utf8(nat[1]), self.utf8(nat[2])))
        return out


def opcodes(code):
    """Yields the opcode of every instruction."""
    pos = 0
    while pos < len(code):
        op = code[pos]
        yield op
        if op == 0xaa:  # tableswitch
            pad = (4 - (pos + 1) % 4) % 4
            low, high = struct.unpack_from(">ii", code, pos + 1 + pad + 4)
            pos += 1 + pad + 12 + 4 * (high - low + 1)
        elif op == 0xab:  # lookupswitch
            pad = (4 - (pos + 1) % 4) % 4
            n = struct.unpack_from(">i", code, pos + 1 + pad + 4)[0]
            pos += 1 + pad + 8 + 8 * n
        elif op == 0xc4:  # wide
            pos += 6 if code[pos + 1] == 0x84 else 4
        else:
            pos += 1 + _OPERANDS.get(op, 0)
