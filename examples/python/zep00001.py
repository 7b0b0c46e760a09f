"""The peripheral-binding module from Python, through its C interface.

Standard library only (ctypes). A failed call raises ZepError, or one of its
subclasses, whose text is the C interface's last error: for a bind whose
package will not load, the binding failure and then, line by line, why.

    zep = zep00001.Module()              # libzep00001_c from ZEP_C_LIBRARY or the system
    with zep.bound("Sat"):               # zep_bind, then zep_unbind on leaving
        emitir_venda = zep.entry("EmitirVenda", ctypes.c_char_p)
        print(emitir_venda())
    block = zep.build("VerificaSerialImp", UTILIZAIMPFIS=True, DSDIRCAD="C:\\CAD",
                      ESQUEMACOR="PADRAO", REV_NRSERIE_IMP="BE0123")
    # [("UTILIZAIMPFIS", True), ("DSDIRCAD", "C:\\CAD"), ...]

The builders' signatures are read from the module's own list of them,
entries/builders.def (installed under include/zep00001/), so that they are
never written out a second time here.
"""

import contextlib
import ctypes
import ctypes.util
import os
import re

OK, ERR_LOAD, ERR_ARGUMENT, ERR_BUFFER, ERR_INTERNAL = range(5)
TAG_STRING, TAG_INTEGER, TAG_DOUBLE, TAG_BOOLEAN = range(4)


class ZepError(Exception):
    """A call of the C interface failed; `code` is its error code."""

    def __init__(self, code, message):
        super().__init__(message)
        self.code = code


class LoadError(ZepError):
    """A bind's package could not be loaded."""


class ArgumentError(ZepError):
    """An unknown set, slot or pair, a bad model code, or a missing text."""


class InternalError(ZepError):
    """Anything else the module raised, such as a failed unload."""


_SAME = object()

_ERRORS = {ERR_LOAD: LoadError, ERR_ARGUMENT: ArgumentError, ERR_INTERNAL: InternalError}

_C_TYPES = {
    "Text": ctypes.c_char_p,
    "Integer": ctypes.c_int32,
    "Double": ctypes.c_double,
    "Boolean": ctypes.c_int,
}

_DEFINE = re.compile(r"#define\s+(ZEP_PARAMETERS_\w+)\(P\)")
_PARAMETER = re.compile(r"P\(\s*(\w+)\s*,\s*(\w+)\s*,\s*(\w+)\s*,\s*(\d+)\s*\)")
_BUILDER = re.compile(r"^ZEP_BUILDER\(\s*(\w+)\s*,\s*(\d+)\s*,\s*(ZEP_PARAMETERS_\w+)\s*\)", re.M)


def read_builders(path):
    """The builders of a builders.def: {operation: [(kind, name), ...]} in
    declared order, e.g. "VendaItem": [("Text", "ESQUEMACOR"), ...]."""
    with open(path, encoding="ascii") as rows:
        text = rows.read()
    lists, current = {}, None
    for line in text.splitlines():
        define = _DEFINE.match(line)
        if define:
            current = lists.setdefault(define.group(1), [])
        row = _PARAMETER.search(line)
        if current is not None and row and not line.lstrip().startswith("//"):
            current.append((row.group(1), row.group(3)))
        if not line.rstrip().endswith("\\"):
            current = None
    builders = {}
    for builder, pairs, parameters in _BUILDER.findall(text):
        rows = lists.get(parameters, [])
        if len(rows) != int(pairs) or any(kind not in _C_TYPES for kind, _ in rows):
            raise ValueError(f"{path}: cannot read the parameters of {builder}")
        builders[builder[len("Params_"):-len("_Zep00000")]] = rows
    if not builders:
        raise ValueError(f"{path}: no builders")
    return builders


def _find_library():
    return os.environ.get("ZEP_C_LIBRARY") or ctypes.util.find_library("zep00001_c")


def _find_entries(library):
    candidates = [os.environ.get("ZEP_ENTRIES", "")]
    if library and os.path.isabs(library):
        # An installed tree: lib/ beside include/.
        here = os.path.dirname(library)
        candidates.append(os.path.join(here, "..", "include", "zep00001", "entries"))
    # The source tree, for this example beside it.
    here = os.path.dirname(os.path.abspath(__file__))
    candidates.append(os.path.join(here, "..", "..", "include", "zep00001", "entries"))
    for directory in candidates:
        if directory and os.path.isfile(os.path.join(directory, "builders.def")):
            return directory
    raise FileNotFoundError("cannot find zep00001/entries/builders.def; set ZEP_ENTRIES")


class Module:
    """The C interface of one loaded libzep00001_c.

    Texts go in and come out as bytes, byte for byte; a str is encoded with
    `encoding`, and texts read back are decoded with it (latin-1 maps every
    byte, so nothing is lost either way).
    """

    def __init__(self, library=None, entries=None, encoding="latin-1"):
        library = library or _find_library()
        if not library:
            raise FileNotFoundError("cannot find libzep00001_c; set ZEP_C_LIBRARY")
        self.encoding = encoding
        self._c = c = ctypes.CDLL(library)
        size_p = ctypes.POINTER(ctypes.c_size_t)
        for name, result, arguments in [
            ("zep_bind", ctypes.c_int, [ctypes.c_char_p, ctypes.c_char_p]),
            ("zep_unbind", ctypes.c_int, [ctypes.c_char_p, ctypes.c_char_p]),
            ("zep_slot", ctypes.c_void_p, [ctypes.c_char_p]),
            ("zep_select", ctypes.c_int,
             [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p, size_p]),
            ("zep_last_error", ctypes.c_int, [ctypes.c_char_p, size_p]),
            ("zep_block_size", ctypes.c_size_t, [ctypes.c_void_p]),
            ("zep_block_key", ctypes.c_char_p, [ctypes.c_void_p, ctypes.c_size_t]),
            ("zep_block_tag", ctypes.c_int, [ctypes.c_void_p, ctypes.c_size_t]),
            ("zep_block_string", ctypes.c_void_p, [ctypes.c_void_p, ctypes.c_size_t, size_p]),
            ("zep_block_integer", ctypes.c_int32, [ctypes.c_void_p, ctypes.c_size_t]),
            ("zep_block_double", ctypes.c_double, [ctypes.c_void_p, ctypes.c_size_t]),
            ("zep_block_boolean", ctypes.c_int, [ctypes.c_void_p, ctypes.c_size_t]),
            ("zep_block_free", None, [ctypes.c_void_p]),
        ]:
            function = getattr(c, name)
            function.restype, function.argtypes = result, arguments
        entries = entries or _find_entries(library)
        self.builders = read_builders(os.path.join(entries, "builders.def"))
        for operation, parameters in self.builders.items():
            function = getattr(c, f"zep_Params_{operation}_Zep00000")
            function.restype = ctypes.c_void_p
            function.argtypes = [_C_TYPES[kind] for kind, _ in parameters]

    # Texts in, texts out.
    def _bytes(self, text):
        if text is None or isinstance(text, bytes):
            return text
        return str(text).encode(self.encoding)

    def _text(self, data):
        return data.decode(self.encoding)

    def last_error(self):
        """The calling thread's last error; "" after a call that succeeded."""
        size = ctypes.c_size_t(0)
        self._c.zep_last_error(None, ctypes.byref(size))
        while True:
            room = ctypes.c_size_t(size.value + 1)
            out = ctypes.create_string_buffer(room.value)
            if self._c.zep_last_error(out, ctypes.byref(room)) == OK:
                return self._text(out.raw[: room.value])
            size = room

    def _check(self, code):
        if code != OK:
            raise _ERRORS.get(code, ZepError)(code, self.last_error())

    def _check_read(self, failed):
        # A reader's NULL or 0 is a failure only when it left a last error.
        if failed:
            error = self.last_error()
            if error:
                raise ArgumentError(ERR_ARGUMENT, error)

    def bind(self, set_name, model=None):
        """Binds a slot set (any letter case): raises LoadError with the
        binding failure and its cause when the package will not load."""
        self._check(self._c.zep_bind(self._bytes(set_name), self._bytes(model)))

    def unbind(self, set_name, model=None):
        """Clears the set's slots and has its package unloaded; pass the
        bind's model code (none for the cheque printer)."""
        self._check(self._c.zep_unbind(self._bytes(set_name), self._bytes(model)))

    @contextlib.contextmanager
    def bound(self, set_name, model=None, unbind_model=_SAME):
        """The set bound for the `with` block, unbound when it ends with the
        same model code (the cheque printer's unbind wants unbind_model=None)."""
        self.bind(set_name, model)
        try:
            yield self
        finally:
            self.unbind(set_name, model if unbind_model is _SAME else unbind_model)

    def slot(self, name):
        """The slot's current value, an address or None."""
        address = self._c.zep_slot(self._bytes(name))
        self._check_read(address is None)
        return address

    def entry(self, name, result, *arguments):
        """The driver entry in the slot `name` as a callable of the entry's
        own signature (cdecl), e.g. entry("BuscaPeso", ctypes.c_int)."""
        address = self.slot(name)
        if address is None:
            raise LookupError(
                f"slot {name} is null: its set is not bound, or its package lacks the entry")
        return ctypes.CFUNCTYPE(result, *arguments)(address)

    def select(self, set_name, model):
        """The package name that the model code selects, "" for none."""
        size = ctypes.c_size_t(16)
        while True:
            out = ctypes.create_string_buffer(size.value)
            room = ctypes.c_size_t(size.value)
            code = self._c.zep_select(
                self._bytes(set_name), self._bytes(model), out, ctypes.byref(room))
            if code != ERR_BUFFER:
                self._check(code)
                return self._text(out.raw[: room.value])
            size = ctypes.c_size_t(room.value + 1)

    def build(self, operation, *arguments, **named):
        """The block of Params_<operation>_Zep00000 as [(key, value), ...],
        from its parameters in declared order or by name."""
        parameters = self.builders[operation]
        if len(arguments) > len(parameters):
            raise TypeError(f"{operation} takes {len(parameters)} arguments")
        values = dict(zip((name for _, name in parameters), arguments))
        for name, value in named.items():
            if name not in (n for _, n in parameters) or name in values:
                raise TypeError(f"{operation}: unexpected or repeated argument {name}")
            values[name] = value
        missing = [name for _, name in parameters if name not in values]
        if missing:
            raise TypeError(f"{operation}: missing {', '.join(missing)}")
        passed = [self._argument(operation, kind, name, values[name])
                  for kind, name in parameters]
        block = getattr(self._c, f"zep_Params_{operation}_Zep00000")(*passed)
        if block is None:
            code = ERR_ARGUMENT if None in passed else ERR_INTERNAL
            raise _ERRORS[code](code, self.last_error())
        try:
            return self.read_block(block)
        finally:
            self._c.zep_block_free(block)

    def _argument(self, operation, kind, name, value):
        # ctypes would wrap an integer out of range without a word.
        if kind == "Integer" and not -(2**31) <= value < 2**31:
            raise OverflowError(f"{operation}: {name} = {value} is no 32-bit integer")
        return self._bytes(value) if kind == "Text" else value

    def read_block(self, block):
        """A zep_block* as [(key, value), ...]; the block stays the caller's."""
        c, pairs = self._c, []
        for pair in range(c.zep_block_size(block)):
            key = c.zep_block_key(block, pair)
            self._check_read(key is None)
            tag = c.zep_block_tag(block, pair)
            if tag == TAG_STRING:
                length = ctypes.c_size_t(0)
                address = c.zep_block_string(block, pair, ctypes.byref(length))
                self._check_read(address is None)
                value = self._text(ctypes.string_at(address, length.value))
            elif tag == TAG_INTEGER:
                value = c.zep_block_integer(block, pair)
            elif tag == TAG_DOUBLE:
                value = c.zep_block_double(block, pair)
            elif tag == TAG_BOOLEAN:
                value = bool(c.zep_block_boolean(block, pair))
            else:
                self._check_read(True)
                raise InternalError(ERR_INTERNAL, f"pair {pair} has tag {tag}")
            pairs.append((self._text(key), value))
        return pairs
