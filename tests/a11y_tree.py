#!/usr/bin/python3
"""Prints what a screen reader finds in the running program named on the
command line: one object a line, its role, name and description separated by
tabs, line breaks inside them written as \\n. Prints nothing while the program
has not joined the accessibility bus."""
import sys

import pyatspi


def flat(text):
    return (text or "").replace("\n", "\\n")


def walk(node, out):
    try:
        out.append(f"{node.getRoleName()}\t{flat(node.name)}\t{flat(node.description)}")
        children = [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # the object went away while it was read
        return
    for child in children:
        if child is not None:
            walk(child, out)


def main():
    lines = []
    for application in pyatspi.Registry.getDesktop(0):
        if application is not None and application.name == sys.argv[1]:
            walk(application, lines)
    print("\n".join(lines))


main()
