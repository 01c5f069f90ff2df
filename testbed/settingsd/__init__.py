"""The settings-server stand-in as a package (with testbed/ on the import path): wire, the
protocol; Settingsd, the stand-in started and steered from Python."""
from .stand_in import Settingsd  # noqa: F401
