"""The rows of the entry lists as rows.in gives them after the preprocessor:
one record a keyword, its words up to the next keyword (rows.in lists them)."""

import re
from dataclasses import dataclass, field

KEYWORDS = {"set", "fixed", "slots", "slot", "selection", "builder", "parameter",
            "package", "unit"}
ARGUMENT_KINDS = {"ModelCode", "UseFlag", "ModelText", "None"}
PARAMETER_KINDS = {"Text", "Integer", "Double", "Boolean"}
PASSINGS = {"ByValue", "ByRef"}


class RowsError(Exception):
    pass


@dataclass
class SlotSet:
    name: str
    bind: str  # the argument kinds of InstanciaFuncoes_ and FinalizaFuncoes_
    unbind: str
    package: str = ""  # the fixed package, for a set that has one
    selection: str = ""  # RetNomeBpl_'s argument kind, for a set that selects
    first: int = 0  # index of its first slot among all slots
    slots: list = field(default_factory=list)

    @property
    def last(self):
        return self.first + len(self.slots) - 1


@dataclass
class Parameter:
    kind: str
    passing: str
    name: str


@dataclass
class Builder:
    name: str
    parameters: list = field(default_factory=list)

    @property
    def operation(self):
        """Params_<operation>_Zep00000's operation, the Python binding's key."""
        return re.fullmatch(r"Params_(.*)_Zep00000", self.name).group(1)


@dataclass
class Rows:
    sets: list = field(default_factory=list)
    selections: list = field(default_factory=list)  # (set name, argument kind)
    builders: list = field(default_factory=list)
    package_entries: list = field(default_factory=list)  # names
    unit_entries: list = field(default_factory=list)  # (name, function)

    @property
    def slots(self):
        return [slot for slot_set in self.sets for slot in slot_set.slots]


def records(text):
    """The words of the rows as [keyword, word...] records, in order."""
    record = None
    for word in text.split():
        if word in KEYWORDS:
            if record:
                yield record
            record = [word]
        elif record is None:
            raise RowsError(f"'{word}' stands before any keyword")
        else:
            record.append(word)
    if record:
        yield record


def argument_kind(owner, kind):
    if kind not in ARGUMENT_KINDS:
        raise RowsError(f"{owner}: unknown argument kind '{kind}'")
    return kind


def read_rows(text):
    rows = Rows()
    sets = {}
    current_set = None
    count = 0
    for keyword, *words in records(text):
        if keyword == "set":
            name, bind, unbind = words
            sets[name] = SlotSet(name, argument_kind(name, bind), argument_kind(name, unbind))
            rows.sets.append(sets[name])
        elif keyword == "fixed":
            name, package = words
            sets[name].package = package.strip('"')
        elif keyword == "selection":
            name, argument = words
            sets[name].selection = argument_kind(f"RetNomeBpl_{name}", argument)
            rows.selections.append((name, argument))
        elif keyword == "slots":
            (name,) = words
            current_set = sets[name]
            current_set.first = count
        elif keyword == "slot":
            (name,) = words
            if current_set is None:
                raise RowsError(f"slot {name} belongs to no set")
            current_set.slots.append(name)
            count += 1
        elif keyword == "builder":
            (name,) = words
            rows.builders.append(Builder(name))
        elif keyword == "parameter":
            parameter = Parameter(*words)
            builder = rows.builders[-1]
            if parameter.kind not in PARAMETER_KINDS:
                raise RowsError(f"{builder.name}: unknown parameter kind '{parameter.kind}'")
            if parameter.passing not in PASSINGS:
                raise RowsError(f"{builder.name}: unknown passing '{parameter.passing}'")
            builder.parameters.append(parameter)
        elif keyword == "package":
            (name,) = words
            rows.package_entries.append(name)
        elif keyword == "unit":
            name, function = words
            rows.unit_entries.append((name, function))
    for slot_set in rows.sets:
        if not slot_set.slots:
            raise RowsError(f"set {slot_set.name} has no slots")
    return rows
