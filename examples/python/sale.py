"""The README's sale from Python: binds every slot set to the simulated
devices, opens the coupon, sells two items (the second weighed on the
scale), prints the sale, closes the coupon and unbinds every set; then shows
the receipt as zep-host demo does. The blocks go to the fiscal printer as
the C interface built them.

    PYTHONPATH=<prefix>/share/zep00001/python LD_LIBRARY_PATH=<prefix>/lib/<triplet> \\
        ZEP_PACKAGE_PATH=<prefix>/lib/<triplet>/zep00001/simulated python3 sale.py
"""

import ctypes

import zep00001

# Every set, with the first model code whose simulated package is bundled.
SETS = [("ImpFiscal", "1"), ("ImpCheque", "1"), ("Display", "1"), ("Balanca", "4"),
        ("Leitor", "1"), ("Zep00000", None), ("Zep00400", None), ("Zep00500", None),
        ("Tef00000", None), ("Sat", None)]
OK, UNSTABLE = 0, 2

# The simulated devices' entries (drivers/simulated/*.hpp).
Status = ctypes.c_int32
Paper = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_char_p)


def main():
    zep = zep00001.Module()
    for name, model in SETS:
        zep.bind_package(name, model)
    entry = zep.entry
    retorno = entry("RetornoImpFiscal", ctypes.c_char_p)

    def check(status, command):
        if status != OK:
            raise RuntimeError(f"the fiscal printer refused {command}: {retorno().decode()}")

    printed = []
    paper = Paper(lambda context, line: printed.append(line.decode("cp1252")))
    check(entry("StartImpFiscal", Status, Paper, ctypes.c_void_p)(paper, None), "StartImpFiscal")
    with zep.block("AbreCupom", "", 0, "S", "N", "N", "", "", "", "", "", "CPF",
                   "529.982.247-25", "", "", False) as block:
        check(entry("AbreCupom", Status, ctypes.c_void_p)(block.handle), "AbreCupom")

    def sell(code, name, unit, quantity, price):
        with zep.block("VendaItem", "", "", "", code, name, "T18", "01", unit, "", "18,00", "", 0,
                       quantity, price, 0.0, 0.0, False) as block:
            check(entry("VendaItem", Status, ctypes.c_void_p)(block.handle), "VendaItem")

    sell("7891234567895", "ARROZ TIPO 1 5KG", "UN", 1.0, 24.90)
    # The scale settles over a few readings; a host asks until it is stable.
    weigh = entry("BuscaPeso", Status, ctypes.POINTER(ctypes.c_double))
    if entry("StartBalanca", Status, ctypes.c_char_p)(b"0.398;0.411;0.412") != OK:
        raise RuntimeError("the scale refused StartBalanca")
    kilograms, weighed = ctypes.c_double(), UNSTABLE
    for _ in range(10):
        weighed = weigh(ctypes.byref(kilograms))
        if weighed != UNSTABLE:
            break
    if weighed != OK:
        raise RuntimeError(f"the scale refused BuscaPeso (status {weighed})")
    sell("2000012", "QUEIJO MINAS", "KG", kilograms.value, 49.90)

    total = ctypes.c_double()
    with zep.block("ImpressaoVenda", "", "0001", "003", "", "", "42", "", "MARIA DA SILVA",
                   "Volte sempre", "COM1", 1, 0.0, 0.0) as block:
        check(entry("ImpressaoVenda", Status, ctypes.c_void_p, ctypes.POINTER(ctypes.c_double))(
            block.handle, ctypes.byref(total)), "ImpressaoVenda")
    check(entry("FechaCupom", Status, ctypes.c_char_p, ctypes.c_double)(b"DINHEIRO", 50.0),
          "FechaCupom")
    check(entry("StopImpFiscal", Status)(), "StopImpFiscal")
    entry("StopBalanca", Status)()
    coupon = entry("Nr_Cupom", ctypes.c_int32)()

    for name, model in SETS:
        zep.unbind(name, None if name == "ImpCheque" else model)

    print(f"  receipt, coupon {coupon}:")
    rule = "    +" + "-" * 40 + "+"
    print(rule)
    for line in printed:
        print(f"    |{line:<40}|")
    print(rule)


if __name__ == "__main__":
    main()
