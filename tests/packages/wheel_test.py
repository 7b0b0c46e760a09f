"""The wheel's module as a host uses it, with no setting: Module() finds the
libraries the wheel installed beside it, and no simulated device."""
import os
import sys

import zep00001

zep = zep00001.Module()
# The version the build gave, the first argument.
assert zep00001.__version__ == sys.argv[1], zep00001.__version__
assert os.path.isfile(os.path.join(os.path.dirname(zep00001.__file__), "py.typed"))
assert os.path.dirname(zep00001.__file__) in zep00001.LIBRARY, zep00001.LIBRARY
block = zep.build("VerificaSerialImp", UTILIZAIMPFIS=True, DSDIRCAD="C:\\CAD",
                  ESQUEMACOR="PADRAO", REV_NRSERIE_IMP="BE0123")
assert block[0] == ("UTILIZAIMPFIS", True), block
# The shared package the wheel holds answers: "X" is bundled nowhere.
try:
    zep.bind("Balanca", "1")
    sys.exit("the bind of a package that is nowhere succeeded")
except zep00001.LoadError as failure:
    assert str(failure).startswith("Erro na carga do pacote: X"), failure
# The module's wheel alone holds no simulated device to fall back on.
try:
    zep.bind("Sat")
    sys.exit("the wheel alone bound the Sat set")
except zep00001.LoadError as failure:
    assert str(failure).startswith("Erro na carga do pacote: zep03000"), failure
print("all passed")
