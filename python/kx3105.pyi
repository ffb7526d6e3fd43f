"""The KX3105 evaluation board from Python: open the board as kx3105-cli does, program it, capture
runs of codes straight into numpy arrays, and analyse them with the tool's own figures."""

import os
from types import TracebackType
from typing import Any, Literal, Mapping, Sequence

import numpy as np
import numpy.typing as npt

__version__: str

_Path = str | os.PathLike[str]
_Codes = Run | npt.ArrayLike

class BoardError(Exception):
    """The board or a file failed; the message is kx3105-cli's."""

    run: Run | None
    """The codes a failed capture read before it failed (else None)."""

class Run:
    """A run of conversion codes and what is known of how it was taken."""

    def __init__(
        self,
        codes: npt.ArrayLike,
        *,
        adc_control: int | None = None,
        mode: int | None = None,
        filter: int | None = None,
        ref: float = 2.5,
        rate_hz: float | None = None,
        times: npt.ArrayLike | None = None,
    ) -> None: ...
    @property
    def codes(self) -> npt.NDArray[np.int32]: ...
    @property
    def times(self) -> npt.NDArray[np.float64] | None: ...
    @property
    def volts(self) -> npt.NDArray[np.float64]: ...
    @property
    def rate_hz(self) -> float | None: ...
    @property
    def ref(self) -> float: ...
    @property
    def adc_control(self) -> int | None: ...
    @property
    def mode(self) -> int | None: ...
    @property
    def filter(self) -> int | None: ...
    @property
    def settings(self) -> dict[str, Any]: ...
    @property
    def timeouts(self) -> int: ...
    def __len__(self) -> int: ...
    def save(
        self, path: _Path, format: Literal["dat", "csv", "json"] = "dat", *, hex: bool = False
    ) -> None: ...

class Board:
    """The KX3105 board, opened as kx3105-cli opens it; a context manager."""

    def __init__(
        self,
        port: str | None = None,
        simulate: bool = False,
        trace: _Path | None = None,
        *,
        sim_speed: Literal["fast", "realtime"] | None = None,
        sim_seed: int | None = None,
        sim_input: str
        | Mapping[int, float | tuple[float, float]]
        | Sequence[str]
        | None = None,
        sim_tone: str | tuple[int, float, float] | Sequence[str | tuple[int, float, float]] | None = None,
        sim_fault: str | Sequence[str] | None = None,
        sim_state: _Path | None = None,
        board_check: bool = True,
    ) -> None: ...
    def __enter__(self) -> Board: ...
    def __exit__(
        self,
        kind: type[BaseException] | None,
        error: BaseException | None,
        trace: TracebackType | None,
    ) -> None: ...
    def close(self) -> None: ...
    @property
    def description(self) -> str: ...
    @property
    def simulated(self) -> bool: ...
    @property
    def closed(self) -> bool: ...
    @property
    def notes(self) -> list[str]: ...
    def registers(self, *, data: bool = False) -> dict[str, int]: ...
    def read(self, name: str) -> int: ...
    def write(self, name: str, value: int) -> None: ...
    def reset(self, kind: Literal["hardware", "software"]) -> None: ...
    def calibrate(
        self, kind: Literal["internal-zero", "internal-full", "system-zero", "system-full"]
    ) -> None: ...
    def configure(
        self,
        *,
        channel: str | int | None = None,
        range: str | float | None = None,
        polarity: Literal["bipolar", "unipolar"] | None = None,
        rate: float | str | None = None,
        filter: int | str | None = None,
        chop: bool | Literal["on", "off"] | None = None,
        buffer: bool | Literal["on", "off"] | None = None,
    ) -> dict[str, Any]: ...
    def capture(
        self,
        count: int,
        *,
        ref: float = 2.5,
        channel: str | int | None = None,
        range: str | float | None = None,
        polarity: Literal["bipolar", "unipolar"] | None = None,
        rate: float | str | None = None,
        filter: int | str | None = None,
        chop: bool | Literal["on", "off"] | None = None,
        buffer: bool | Literal["on", "off"] | None = None,
    ) -> Run: ...

def load(path: _Path, *, hex: bool = False) -> Run: ...
def analyse(
    run: _Codes,
    *,
    range: str | float | None = None,
    polarity: Literal["bipolar", "unipolar"] | None = None,
    ref: float | None = None,
    adc_control: int | None = None,
) -> dict[str, Any]: ...
def spectrum(
    run: _Codes,
    *,
    rate: float | None = None,
    range: str | float | None = None,
    polarity: Literal["bipolar", "unipolar"] | None = None,
    ref: float | None = None,
    adc_control: int | None = None,
    window: Literal["hann", "blackman-harris"] = "hann",
    segment: int | None = None,
) -> dict[str, Any]: ...
def allan(
    readings: Run | _Path | npt.ArrayLike, tau0: float | None = None
) -> dict[str, npt.NDArray[Any]]: ...
