"""A Python host of the peripheral-binding module: binds the SAT set and
calls an entry through its slot, builds a parameter block, and shows why a
package would not load.

    PYTHONPATH=<prefix>/share/zep00001/python LD_LIBRARY_PATH=<prefix>/lib/<triplet> \\
        ZEP_PACKAGE_PATH=/path/to/packages python3 example.py
"""

import ctypes

import zep00001


def main():
    zep = zep00001.Module()

    with zep.bound("Sat"):
        emitir_venda = zep.entry("EmitirVenda", ctypes.c_char_p)
        print("EmitirVenda answers", emitir_venda().decode())

    print("fiscal model 21 is served by", zep.select("ImpFiscal", "21"))

    block = zep.build(
        "AbreCupom",
        ESQUEMACOR="PADRAO", INTTEFERRO=0, INCLUICPF="S", INCLUINOME="N", INCLUIENDERECO="N",
        CUPNR="000123", CONTCUPOM="1", TIPOTICKET="F", IVACOMP="", IVAPROP="", TIPODOC="CPF",
        NRDOC="12345678909", MESA="12", IDUTILTEF="N", UTILTEF=False)
    for key, value in block:
        print(f"  {key:<15} {value!r}")

    try:
        zep.bind("Balanca", "1")  # selects "X", which no tree bundles
    except zep00001.LoadError as failure:
        print("scale model 1 does not bind:", failure, sep="\n")


if __name__ == "__main__":
    main()
