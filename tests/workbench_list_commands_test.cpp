// The list commands through the real menu ids, the harness answering the real choosers and boxes.
