// A learner's statusask in Java: a Scanner, which reads on past blank
// lines as C++'s >> does.
import java.util.Scanner;

public class Status {
    static int codeOf(String word) {
        java.util.regex.Matcher m = java.util.regex.Pattern.compile("^[-+]?\\d+").matcher(word);
        if (!m.find())
            return 0;
        java.math.BigInteger n = new java.math.BigInteger(m.group());
        if (n.compareTo(java.math.BigInteger.valueOf(Integer.MAX_VALUE)) > 0)
            return Integer.MAX_VALUE;
        if (n.compareTo(java.math.BigInteger.valueOf(Integer.MIN_VALUE)) < 0)
            return Integer.MIN_VALUE;
        return n.intValue();
    }

    public static void main(String[] args) {
        System.out.print("Input Machine State (1-5):");
        System.out.flush();
        Scanner in = new Scanner(System.in);
        int state = in.hasNext() ? codeOf(in.next()) : 1;
        System.out.println();
        System.out.print("Machine State: ");
        switch (state) {
        case 1: System.out.println("Job Running"); break;
        case 2: System.out.println("Waiting for next Job"); break;
        case 3: System.out.print("Job Timeout - ");
        case 4:
        case 5: System.out.println("Malfunctioning"); break;
        default: System.out.println("Unknown State");
        }
    }
}
