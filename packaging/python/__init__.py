"""The peripheral-binding module from Python, with its native libraries.

The binding (zep00001._binding, made by the module's build) loads the C
interface; from this package, Module() loads the one in lib/ beside this file,
so that an installed wheel works with no setting. A library given to
Module(library), or named by ZEP_C_LIBRARY, still wins. The simulated
devices are the wheel zep00001-demo's, which installs them beside the
shared package: this wheel alone holds none.
"""

import os as _os

from . import _binding
from ._binding import *  # noqa: F401,F403 (the binding's names are this package's)
from ._binding import __version__  # noqa: F401 (a star import leaves it out)

LIBRARY = _os.path.join(_os.path.dirname(_os.path.abspath(__file__)), "lib", "@C_LIBRARY@")


class Module(_binding.Module):
    __doc__ = _binding.Module.__doc__

    def __init__(self, library=None, *arguments, **settings) -> None:
        super().__init__(library or _os.environ.get(_binding.LIBRARY_VARIABLE) or LIBRARY,
                         *arguments, **settings)
