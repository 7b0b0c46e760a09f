"""The Python example as a test: binds sets against the tree's answering
packages, calls entries through their slots, builds each of the six blocks,
and turns failures into exceptions carrying the last error.

Needs ZEP_C_LIBRARY (libzep00001_c) and ZEP_PACKAGE_PATH (the directory of
the answering packages); CTest sets both, and for the sale ZEP_HOST
(zep-host) and ZEP_SIMULATED_DIR (the simulated devices).
"""

import ctypes
import json
import os
import pathlib
import re
import subprocess
import sys
import tempfile
import unittest

import zep00001

HERE = pathlib.Path(__file__).resolve().parent
TEXTS = HERE.parent.parent / "tests" / "bindings" / "texts.tsv"


def texts():
    """The shared table: (name, text, expected bytes or the refused character)."""
    for line in TEXTS.read_text(encoding="utf-8").splitlines():
        if line and not line.startswith("#"):
            name, text, expected = line.split("\t")
            text = re.sub(r"\\u([0-9A-Fa-f]{4})", lambda code: chr(int(code.group(1), 16)),
                          text.replace("\\0", "\0"))
            # UTF-16 code units as Python's code points: a pair is one character.
            text = text.encode("utf-16-le", "surrogatepass").decode("utf-16-le", "surrogatepass")
            if expected.startswith("refused "):
                yield name, text, chr(int(expected.split("U+")[1], 16))
            else:
                yield name, text, bytes.fromhex(expected)


class ModuleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.zep = zep00001.Module()
        cls.packages = os.environ["ZEP_PACKAGE_PATH"]

    def answer(self, slot):
        return self.zep.entry(slot, ctypes.c_char_p)().decode()

    def test_binds_a_set_and_calls_through_its_slots(self):
        with self.zep.bound("sat"):
            self.assertEqual(self.answer("EmitirVenda"), "answering/zep03000:EmitirVenda")
            self.assertEqual(self.answer("ConsultarStatusOper_sat"),
                             "answering/zep03000:ConsultarStatusOper_sat")
        self.assertIsNone(self.zep.slot("EmitirVenda"))
        with self.zep.bound("ImpFiscal", "1"):
            self.assertEqual(self.answer("imprimeMesasAbertas"),
                             "answering/ZEP00101:ImprimeMesasAbertas")
        with self.zep.bound("ImpCheque", "1", unbind_model=None):
            self.assertEqual(self.answer("StartImpCheque"), "answering/ZEP00700:StartImpCheque")
        with self.assertRaises(LookupError):
            self.zep.entry("StartImpCheque", ctypes.c_char_p)

    def test_selects_the_package_of_a_model_code(self):
        self.assertEqual(self.zep.select("ImpFiscal", "21"), "ZEP00102")
        self.assertEqual(self.zep.select("balanca", "7"), "X")
        self.assertEqual(self.zep.select("Display", "9"), "")

    def test_builds_each_of_the_six_blocks_with_its_keys_tags_and_values(self):
        self.assertEqual(
            set(self.zep.builders),
            {"AbreCupom", "VendaItem", "ImpressaoVenda", "Atu_TotGeral", "Carrega_Dados_Impressora",
             "VerificaSerialImp"})
        made = {
            "Text": lambda i: f"{i:03d} ação",  # leading zeros and a byte above 127 stay
            "Integer": lambda i: -1000 - i,
            "Double": lambda i: i + 0.1,
            "Boolean": lambda i: i % 2 == 0,
        }
        blocks = {}
        for operation, parameters in self.zep.builders.items():
            with self.subTest(operation):
                arguments = [made[kind](i) for i, (kind, _) in enumerate(parameters)]
                block = self.zep.build(operation, *arguments)
                blocks[operation] = block
                self.assertEqual(len(block), len(parameters))
                values = dict(block)
                self.assertEqual(len(values), len(block), "a key occurs twice")
                for (kind, name), argument in zip(parameters, arguments):
                    self.assertIs(type(values[name]), type(argument), name)
                    self.assertEqual(values[name], argument, name)
        # Pair order where it differs from declared order, and keys that
        # differ from their neighbours'.
        keys = {operation: [key for key, _ in block] for operation, block in blocks.items()}
        self.assertEqual(keys["VendaItem"][1], "INTEFERRO")
        self.assertEqual(keys["VendaItem"][-2:], ["UTILTEF", "ACRESCIMO"])
        self.assertEqual(keys["AbreCupom"][1], "INTTEFERRO")
        self.assertEqual(keys["ImpressaoVenda"][4:7], ["ESQUEMACOR", "IDTIPOIMPFIS", "SENHACUPOM"])
        self.assertEqual(keys["Carrega_Dados_Impressora"][0], "ESQUEMA")
        self.assertEqual(keys["VerificaSerialImp"],
                         ["UTILIZAIMPFIS", "DSDIRCAD", "ESQUEMACOR", "REV_NRSERIE_IMP"])
        self.assertEqual(keys["Atu_TotGeral"][10:], ["VBRUTATAB", "VRBRUTAECF"])

    def test_a_missing_package_raises_the_binding_failure_and_its_cause(self):
        with self.assertRaises(zep00001.LoadError) as raised:
            self.zep.bind("Balanca", "1")
        self.assertEqual(raised.exception.code, zep00001.ERR_LOAD)
        lines = str(raised.exception).split("\n")
        self.assertEqual(lines[0], "Erro na carga do pacote: X")
        self.assertEqual(
            lines[1], 'cannot load package "X": libX.so is in none of the package directories')
        self.assertEqual(lines[2], f"  {self.packages}/libX.so: no such file")

    def test_arguments_the_module_cannot_take_raise_argument_errors(self):
        with self.assertRaisesRegex(zep00001.ArgumentError, '^unknown slot set "Impressora"'):
            self.zep.bind("Impressora")
        with self.assertRaisesRegex(zep00001.ArgumentError, '^unknown slot "Nada"$'):
            self.zep.slot("Nada")
        self.assertIsNone(self.zep.slot("StartImpFiscal"))  # null, and no failure
        with self.assertRaisesRegex(zep00001.ArgumentError, "^DSDIRCAD for zep_Params_"):
            self.zep.build("VerificaSerialImp", True, None, "", "")
        with self.assertRaises(OverflowError):
            self.zep.build("ImpressaoVenda", *[""] * 10, 2**31, 0.0, 0.0)
        # A Boolean that C would take as false (2**32) or as true (2) alike.
        for wrong in (2**32, 2, "False", None):
            with self.assertRaisesRegex(TypeError, "UTILIZAIMPFIS = .* is no Boolean"):
                self.zep.build("VerificaSerialImp", wrong, "", "", "")
        self.assertEqual(self.zep.build("VerificaSerialImp", 1, "", "", "")[0],
                         ("UTILIZAIMPFIS", True))

    def test_the_version_is_the_modules(self):
        version = self.zep._c.zep_version
        version.restype = ctypes.c_char_p
        self.assertEqual(zep00001.__version__, version().decode())

    def test_a_failure_decodes_whatever_the_code_page(self):
        # A package directory named in Windows-1252 (0xE7, "c" cedilla) told
        # through a UTF-8 code page: the byte shows escaped.
        directory = tempfile.mkdtemp()
        named = os.path.join(os.fsencode(directory), b"pre\xe7o")
        os.mkdir(named)
        program = ("import sys, zep00001\n"
                   "zep00001.set_code_page('utf-8')\n"
                   "try:\n"
                   "    zep00001.Module().bind('Balanca', '4')\n"
                   "except zep00001.LoadError as error:\n"
                   "    print(ascii(str(error)))\n")
        environment = {**os.environb, b"ZEP_PACKAGE_PATH": named}
        run = subprocess.run([sys.executable, "-c", program], env=environment,
                             capture_output=True, text=True, check=False)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertIn("pre\\\\xe7o/libZEP01200.so", run.stdout)

    def test_texts_cross_as_windows_1252_and_come_back_unchanged(self):
        c = self.zep._c
        for name, text, expected in texts():
            with self.subTest(name):
                if isinstance(expected, str):
                    with self.assertRaises(zep00001.TextError) as raised:
                        self.zep.block("VerificaSerialImp", True, text, "", "")
                    self.assertEqual(raised.exception.parameter, "DSDIRCAD")
                    self.assertEqual(raised.exception.character, expected)
                    self.assertIn(f"U+{ord(expected):04X}", str(raised.exception))
                    continue
                with self.zep.block("VerificaSerialImp", True, text, "", "") as block:
                    length = ctypes.c_size_t()
                    address = c.zep_block_string(block.handle, 1, ctypes.byref(length))
                    self.assertEqual(ctypes.string_at(address, length.value), expected)
                    self.assertEqual(block.pairs()[1], ("DSDIRCAD", text))

    def test_the_code_page_is_chosen_once_a_process(self):
        with self.assertRaisesRegex(zep00001.ZepError, "chosen once a process"):
            zep00001.set_code_page("utf-8")
        zep00001.set_code_page("cp1252")  # the same again is no change

    def test_a_bind_that_bound_nothing_is_visible(self):
        self.assertEqual(self.zep.bound_package("ImpFiscal"), "")
        self.zep.bind("ImpFiscal", "35")  # selects no package, binds nothing
        self.assertEqual(self.zep.bound_package("ImpFiscal"), "")
        with self.assertRaisesRegex(zep00001.NothingBound, "^ImpFiscal with model code '35' "):
            self.zep.bind_package("ImpFiscal", "35")
        self.assertEqual(self.zep.bind_package("ImpFiscal", "21"), "ZEP00102")
        self.assertEqual(self.zep.bound_package("impfiscal"), "ZEP00102")
        self.zep.unbind("ImpFiscal", "21")

    def test_a_load_failure_keeps_each_cause_with_its_continuation_lines(self):
        with self.assertRaises(zep00001.LoadError) as raised:
            self.zep.bind("Balanca", "1")
        self.assertEqual(raised.exception.failure, "Erro na carga do pacote: X")
        self.assertEqual(raised.exception.causes[0].split("\n")[:2], [
            'cannot load package "X": libX.so is in none of the package directories',
            f"  {self.packages}/libX.so: no such file"])

    def test_a_trace_writes_down_each_call_through_the_slots(self):
        # mkdtemp's mode 0700: the tracer refuses a directory others may write.
        with tempfile.TemporaryDirectory() as directory:
            trace = pathlib.Path(directory, "calls.json")
            with self.zep.traced(trace), self.zep.bound("Sat"):
                self.assertEqual(self.answer("EmitirVenda"), "answering/zep03000:EmitirVenda")
            events = trace.read_bytes()
        # The module's binary trace, which zep-host trace reads: its mark, and
        # the traced entry's name.
        self.assertTrue(events.startswith(b"ZEPTRACE"))
        self.assertIn(b"EmitirVenda", events)
        with self.assertRaisesRegex(zep00001.ArgumentError, "."):
            self.zep.start_trace(trace)  # its directory is gone
        with self.assertRaises(zep00001.TextError):
            self.zep.start_trace(f"{directory}/\u0100.json")

    def test_a_missing_library_says_where_it_looked(self):
        environment = dict(os.environ, ZEP_C_LIBRARY="/nowhere/libzep00001_c.so.1")
        run = subprocess.run([sys.executable, "-c", "import zep00001; zep00001.Module()"],
                             env=environment, capture_output=True, text=True)
        self.assertIn("FileNotFoundError: cannot load the C interface", run.stderr)
        self.assertIn("/nowhere/libzep00001_c.so.1:", run.stderr)
        self.assertIn("ZEP_C_LIBRARY", run.stderr)

    def test_the_sale_prints_the_demos_receipt(self):
        if not os.environ.get("ZEP_HOST"):
            self.skipTest("no zep-host to compare with")
        # With the runtime files alone: the C interface found by its library
        # name on the library path, without ZEP_C_LIBRARY or the development link.
        with tempfile.TemporaryDirectory() as runtime:
            library = pathlib.Path(os.environ["ZEP_C_LIBRARY"]).resolve()
            os.symlink(library, pathlib.Path(runtime, zep00001.LIBRARY_NAME))
            # Its RUNPATH ($ORIGIN) finds the module beside it and the shared
            # package below, as installed.
            for beside in ("libPKG_ZEP00001.so", "zep00001"):
                os.symlink(library.parent / beside, pathlib.Path(runtime, beside))
            environment = dict(os.environ, ZEP_PACKAGE_PATH=os.environ["ZEP_SIMULATED_DIR"],
                               LD_LIBRARY_PATH=runtime)
            del environment["ZEP_C_LIBRARY"]
            sale = subprocess.run([sys.executable, str(HERE / "sale.py")], env=environment,
                                  capture_output=True, text=True, check=True).stdout
        demo = subprocess.run([os.environ["ZEP_HOST"], "demo"], capture_output=True, text=True,
                              check=True).stdout
        self.assertEqual(receipt(sale), receipt(demo))


def receipt(output):
    """The receipt's lines, from "receipt, coupon" to its closing rule."""
    lines = output.splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith("  receipt, coupon"))
    return lines[start:lines.index(lines[start + 1], start + 2) + 1]


if __name__ == "__main__":
    unittest.main()
