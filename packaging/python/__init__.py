"""The peripheral-binding module from Python, with its native libraries.

The binding (zep00001._binding, made by the module's build) loads the C
interface; from this package, Module() loads the one in lib/ beside this file,
so that an installed wheel works with no setting. A library given to
Module(library), or named by ZEP_C_LIBRARY, still wins.
"""

import os as _os

from . import _binding
from ._binding import *  # noqa: F401,F403 (the binding's names are this package's)

LIBRARY = _os.path.join(_os.path.dirname(_os.path.abspath(__file__)), "lib", "@C_LIBRARY@")


class Module(_binding.Module):
    __doc__ = _binding.Module.__doc__

    def __init__(self, library=None, *arguments, **settings):
        super().__init__(library or _os.environ.get(_binding.LIBRARY_VARIABLE) or LIBRARY,
                         *arguments, **settings)
