"""The Python example as a test: binds sets against the tree's answering
packages, calls entries through their slots, builds each of the six blocks,
and turns failures into exceptions carrying the last error.

Needs ZEP_C_LIBRARY (libzep00001_c) and ZEP_PACKAGE_PATH (the directory of
the answering packages); CTest sets both.
"""

import ctypes
import os
import unittest

import zep00001


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


if __name__ == "__main__":
    unittest.main()
